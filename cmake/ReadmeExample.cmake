# The README's example of vantrix-cli: the first ```console block whose first line is
# "$ build/bin/vantrix-cli ...". The block below that line is what the command prints.
#
#   cmake -DREADME=README.md -DCLI=build/bin/vantrix-cli -DMODE=check  -P ReadmeExample.cmake
#   cmake -DREADME=README.md -DCLI=build/bin/vantrix-cli -DMODE=update -P ReadmeExample.cmake
#
# check fails when the block differs from a fresh run of its command; update rewrites the
# block. The command runs with LC_ALL=C, whose number format is the README's ("." and ",").
cmake_minimum_required(VERSION 3.25)

set(refresh "cmake --build build --target kv_readme_example")
set(fence_open "```console\n")
set(prompt "$ build/bin/vantrix-cli ")

file(READ "${README}" text)
string(FIND "${text}" "${fence_open}${prompt}" start)
if(start EQUAL -1)
    message(FATAL_ERROR "${README} holds no ```console block starting with \"${prompt}\"")
endif()
string(LENGTH "${fence_open}" fence_length)
math(EXPR body_start "${start} + ${fence_length}")
string(SUBSTRING "${text}" ${body_start} -1 rest)
string(FIND "${rest}" "\n```" body_length)
if(body_length EQUAL -1)
    message(FATAL_ERROR "${README}: the example block has no closing ```")
endif()
string(SUBSTRING "${rest}" 0 ${body_length} body)
string(SUBSTRING "${text}" 0 ${body_start} before)
math(EXPR after_start "${body_start} + ${body_length}")
string(SUBSTRING "${text}" ${after_start} -1 after)

# The command line: the block's first line without "$ " and the program's path.
string(FIND "${body}" "\n" line_end)
if(line_end EQUAL -1)
    set(line_end ${body_length})
endif()
string(SUBSTRING "${body}" 0 ${line_end} command_line)
string(LENGTH "${prompt}" prompt_length)
string(SUBSTRING "${command_line}" ${prompt_length} -1 arguments)
separate_arguments(argv UNIX_COMMAND "${arguments}")

execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C "${CLI}" ${argv}
                OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "\"${command_line}\" failed (${status}):\n${errors}")
endif()
string(REGEX REPLACE "\n$" "" output "${output}")
set(fresh "${command_line}\n${output}")

if(MODE STREQUAL "update")
    if(NOT fresh STREQUAL body)
        file(WRITE "${README}" "${before}${fresh}${after}")
        message(STATUS "Rewrote the example in ${README}")
    endif()
elseif(fresh STREQUAL body)
    message(STATUS "The example in ${README} matches a fresh run")
else()
    message(FATAL_ERROR
            "The example in ${README} is stale: its command now prints something else.\n"
            "Refresh it with: ${refresh}\n"
            "--- README.md\n${body}\n"
            "--- fresh run\n${fresh}\n")
endif()
