# Korvane Vantrix: set-up, build, run and test on Debian 12.
#   make run    install what is missing, build, open the window on the demo catalogue
#   make test   the same, then every test (unit, window, sanitizer and fuzz runs, and the
#               Debian package installed, run and purged again)
#   make package  the Debian package build/korvane-vantrix_<version>_<arch>.deb
#   make bench  build and run the benchmarks
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
            qt6-base-dev qt6-base-dev-tools libgl-dev \
            nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev \
            clang libclang-rt-14-dev \
            fonts-liberation xvfb xauth \
            dpkg-dev file help2man desktop-file-utils appstream lintian

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
DEPS_STAMP := .deps-stamp
CMAKE_FILES := $(shell find . -name CMakeLists.txt -not -path './build*' 2>/dev/null) \
               $(wildcard cmake/*.cmake)

.PHONY: all deps build run test test-unit test-sanitize fuzz package test-package bench format clean

all: build

# Installs the packages that are missing, once; the stamp remembers the list it checked.
$(DEPS_STAMP): Makefile
	@missing=""; for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) apt-get update && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing || exit 1; \
	fi
	@touch $@

deps: $(DEPS_STAMP)

$(BUILD)/build.ninja: $(DEPS_STAMP) $(CMAKE_FILES)
	cmake -S . -B $(BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

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

format:
	git ls-files '*.cpp' '*.h' '*.hpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(DEPS_STAMP)
