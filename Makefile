# Korvane Vantrix: set-up, build, run and test on Debian 12.
#   make run    install what is missing, build, open the window on the demo catalogue
#   make test   the same, then every test (unit, window, sanitizer and fuzz runs, and the
#               Debian package installed, run and purged again)
#   make package  the Debian package build/korvane-vantrix_<version>_<arch>.deb
#   make bench  build and run the benchmarks
#   make test-windows  cross-build the libraries and the command line for Windows, test them
# CMake does the building; this file wraps it with stamp files so that package checks and
# configuration run again only when needed.

BUILD      ?= build
SAN_BUILD  ?= build-asan
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench
GENERATOR  ?= Ninja
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 30

# Debian packages the build, the tests and the benchmarks need.
PACKAGES := build-essential cmake ninja-build pkg-config git \
            pybind11-dev python3-dev python3-numpy python3-pytest \
            qt6-base-dev qt6-base-dev-tools libgl-dev \
            nlohmann-json3-dev libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev \
            clang libclang-rt-14-dev \
            fonts-liberation xvfb xauth poppler-utils \
            dpkg-dev file help2man desktop-file-utils appstream lintian

# The Windows cross-builds: MinGW-w64 for both targets, Wine for the 64-bit tests, and
# GoogleTest's sources to build it with MinGW.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 googletest
WIN64_BUILD ?= build-win64
WIN32_BUILD ?= build-win32

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
DEPS_STAMP := .deps-stamp
WINDOWS_DEPS_STAMP := .deps-windows-stamp
CMAKE_FILES := $(shell find . -name CMakeLists.txt -not -path './build*' 2>/dev/null) \
               $(wildcard cmake/*.cmake)

.PHONY: all deps deps-windows build run test test-unit test-sanitize fuzz package test-package \
        bench test-windows format clean

all: build

# Installs the packages of a list that are missing; the stamp remembers the list it checked.
define install-missing
	@missing=""; for p in $(1); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) apt-get update && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing || exit 1; \
	fi
	@touch $@
endef

$(DEPS_STAMP): Makefile
	$(call install-missing,$(PACKAGES))

deps: $(DEPS_STAMP)

# The program as it ships: optimised, without debug information, which would make the build
# from scratch a third slower (BUILD_TYPE=RelWithDebInfo adds it). The benchmarks build in
# their own Release build (make bench), not in this one.
BUILD_TYPE ?= Release
$(BUILD)/build.ninja: $(DEPS_STAMP) $(CMAKE_FILES)
	cmake -S . -B $(BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DKV_BENCH=OFF

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The window when the display can take it (checked first: a display that is set but can't
# be reached would end the window in the toolkit's abort), the terminal otherwise.
run: build
	@tools/run-window.sh $(BUILD)/bin $(BUILD)/tools/kv-display-check

test-unit: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

$(SAN_BUILD)/build.ninja: $(DEPS_STAMP) $(CMAKE_FILES)
	cmake -S . -B $(SAN_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON -DKV_ONLY_LIBS=ON

test-sanitize: $(SAN_BUILD)/build.ninja
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS)

$(FUZZ_BUILD)/build.ninja: $(DEPS_STAMP) $(CMAKE_FILES)
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug \
	    -DKV_FUZZ=ON -DKV_ONLY_LIBS=ON -DKV_BENCH=OFF

# FUZZ_SECONDS is the time of the whole run, shared evenly by the targets the build made.
# The longest input is 4 KB or the longest seed of the target's corpus, which libFuzzer
# picks when no -max_len is given.
fuzz: $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@targets=""; for f in $(FUZZ_BUILD)/fuzz/*; do \
	    if [ -f "$$f" ] && [ -x "$$f" ]; then targets="$$targets $$f"; fi; \
	done; \
	count=$$(echo $$targets | wc -w); [ $$count -gt 0 ] || exit 0; \
	seconds=$$(( $(FUZZ_SECONDS) / count )); [ $$seconds -gt 0 ] || seconds=1; \
	for f in $$targets; do \
	    name=$$(basename $$f); corpus=tests/fuzz/corpus/$$name; work=$(FUZZ_BUILD)/corpus-$$name; \
	    mkdir -p $$work; \
	    echo "Fuzzing $$name for $$seconds s"; \
	    $$f -max_total_time=$$seconds $$work $$corpus || exit 1; \
	done

package: build
	rm -f $(BUILD)/korvane-vantrix_*.deb
	cmake --build $(BUILD) --target package

# Installs the package, runs it as a user who can't write to it, purges it (needs root).
test-package: package
	$(SUDO) packaging/test-package.sh $(BUILD)

test: test-unit test-sanitize fuzz test-package

$(BENCH_BUILD)/build.ninja: $(DEPS_STAMP) $(CMAKE_FILES)
	cmake -S . -B $(BENCH_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release

bench: $(BENCH_BUILD)/build.ninja
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	cmake --build $(BENCH_BUILD) --target kv_large_catalogue
	@for b in $(BENCH_BUILD)/bench/*; do \
	    if [ -f "$$b" ] && [ -x "$$b" ]; then echo "== $$b"; "$$b" || exit 1; fi; \
	done

# Windows: both targets cross-built with MinGW-w64; the 32-bit DLLs' tables are read from
# the files (this machine runs no 32-bit programs), the 64-bit tests run under Wine, and
# the Windows programs are compared with the Linux build's vantrix-cli.
$(WINDOWS_DEPS_STAMP): Makefile
	$(call install-missing,$(WINDOWS_PACKAGES))

deps-windows: $(WINDOWS_DEPS_STAMP)

$(WIN64_BUILD)/build.ninja: $(DEPS_STAMP) $(WINDOWS_DEPS_STAMP) $(CMAKE_FILES)
	cmake -S . -B $(WIN64_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DKV_LINUX_BIN_DIR=$(abspath $(BUILD))/bin

$(WIN32_BUILD)/build.ninja: $(DEPS_STAMP) $(WINDOWS_DEPS_STAMP) $(CMAKE_FILES)
	cmake -S . -B $(WIN32_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

test-windows: build $(WIN64_BUILD)/build.ninja $(WIN32_BUILD)/build.ninja
	cmake --build $(WIN32_BUILD) -j $(JOBS)
	cd $(WIN32_BUILD) && ctest --output-on-failure -L static
	cmake --build $(WIN64_BUILD) -j $(JOBS)
	KV_WINEPREFIX=$(abspath $(WIN64_BUILD))/wineprefix tests/windows/wine-run.sh wineboot --init
	cd $(WIN64_BUILD) && ctest --output-on-failure -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(WIN64_BUILD) $(WIN32_BUILD) \
	    $(DEPS_STAMP) $(WINDOWS_DEPS_STAMP)
