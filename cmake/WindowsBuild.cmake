# Settings of the Windows cross-build (toolchain files cmake/mingw-*.cmake): the two
# libraries, the command-line front end and their tests; the window stays Linux-only.

set(KV_ONLY_LIBS ON)
set(KV_BENCH OFF)
set(KV_SANITIZE OFF)

# nlohmann-json and CLI11 are header-only: only their own folders are put on the include
# path, never all of the build machine's /usr/include, whose C library headers would shadow
# MinGW's.
set(KV_HEADER_ONLY_INCLUDE ${CMAKE_BINARY_DIR}/header-only-include)
file(MAKE_DIRECTORY ${KV_HEADER_ONLY_INCLUDE})
foreach(folder nlohmann CLI)
    if(NOT EXISTS ${KV_HEADER_ONLY_INCLUDE}/${folder})
        file(CREATE_LINK /usr/include/${folder} ${KV_HEADER_ONLY_INCLUDE}/${folder} SYMBOLIC)
    endif()
endforeach()
add_library(kv_header_only INTERFACE)
target_include_directories(kv_header_only SYSTEM INTERFACE ${KV_HEADER_ONLY_INCLUDE})
add_library(nlohmann_json::nlohmann_json ALIAS kv_header_only)
add_library(CLI11::CLI11 ALIAS kv_header_only)

# GoogleTest from Debian's source package, built with MinGW.
set(KV_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${KV_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# Unoptimised, as the tests' own code (tests/CMakeLists.txt).
target_compile_options(gtest PRIVATE -O0)
target_compile_options(gtest_main PRIVATE -O0)

# find_package() of these answers with the targets above.
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/nlohmann_json-config.cmake "")
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/nlohmann_json-config-version.cmake
     "set(PACKAGE_VERSION 3.11)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/cli11-config.cmake "")
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/gtest-config.cmake "")

# The 64-bit test programs run under Wine (tests/windows/wine-run.sh); this machine runs
# no 32-bit programs, so the 32-bit build's tests only read its files.
# The prefix is made once in the build directory; the program directory is on Wine's DLL
# search path, for the test programs built elsewhere.
set(KV_WINE_RUN ${CMAKE_SOURCE_DIR}/tests/windows/wine-run.sh)
string(REPLACE "/" "\\" KV_WINE_BIN_DIR "Z:${KV_BIN_DIR}")
set(KV_WINE_ENV KV_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix KV_WINEPATH=${KV_WINE_BIN_DIR})
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CMAKE_CROSSCOMPILING_EMULATOR env ${KV_WINE_ENV} ${KV_WINE_RUN})
    set(KV_WINDOWS_RUNS ON)
else()
    set(KV_WINDOWS_RUNS OFF)
endif()

# kv_windows_def(OUTPUT LIBRARY FUNCTIONS... [NONAME]): writes a module-definition file.
# Each function is "name:argument-bytes" or "name:argument-bytes:ordinal". On 32-bit
# Windows the standard calling convention decorates a symbol as name@bytes: the file
# names the decorated symbols, and kv_windows_dll exports them under the plain name. With
# NONAME (import libraries) the ordinal alone is exported.
function(kv_windows_def output library)
    cmake_parse_arguments(ARG "NONAME" "" "FUNCTIONS" ${ARGN})
    set(text "LIBRARY ${library}\nEXPORTS\n")
    foreach(f ${ARG_FUNCTIONS})
        string(REPLACE ":" ";" parts "${f}")
        list(GET parts 0 name)
        list(GET parts 1 bytes)
        set(line "${name}")
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            set(line "${name}@${bytes}")
        endif()
        list(LENGTH parts n)
        if(n GREATER 2)
            list(GET parts 2 ordinal)
            string(APPEND line " @${ordinal}")
            if(ARG_NONAME)
                string(APPEND line " NONAME")
            endif()
        endif()
        string(APPEND text "    ${line}\n")
    endforeach()
    file(WRITE ${output} "${text}")
endfunction()

# The property library's functions: name, argument bytes, ordinal. Callers of the engine
# know it by these ordinals; the seven first ones are fixed, the others follow from 50.
set(KV_ASEREP32_FUNCTIONS
    ILK_Revision:4:1
    ILK_SaturationPressure:16:8
    ILK_BubbleTemperature:16:9
    ILK_VapourVolume:24:12
    ILK_LiquidEnthalpy:16:13
    ILK_VapourEnthalpy:24:15
    ILK_SetDataDirectory:4:49
    ILK_VapourEntropy:24:50
    ILK_VapourStatePS:28:51
    ILK_VapourStatePH:28:52
    ILK_StateTP:32:53
    ILK_CriticalPoint:12:54)

# kv_windows_dll(TARGET DEF): the DLL TARGET exports what DEF names, under the DLL's own
# name (no "lib" prefix). On 32-bit Windows the exports lose their @bytes decoration, and
# the import library is written again from DEF so that callers compiled with the header
# (decorated symbols) link against it.
function(kv_windows_dll target def)
    target_sources(${target} PRIVATE ${def})
    set_target_properties(${target} PROPERTIES PREFIX "" LINK_DEPENDS ${def})
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_link_options(${target} PRIVATE -Wl,--kill-at)
        add_custom_command(TARGET ${target} POST_BUILD
                           COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --kill-at
                                   --dllname $<TARGET_FILE_NAME:${target}>
                                   --output-lib $<TARGET_LINKER_FILE:${target}>
                           VERBATIM)
    endif()
endfunction()
