# Shared compile settings for every target of the project.

add_library(kv_warnings INTERFACE)
target_compile_options(kv_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror)

add_library(kv_sanitize INTERFACE)
# At -O1, as the sanitizers' authors advise: the tests run two to three times faster than
# unoptimised, and the line tables (-g1) are what a report's stack needs.
if(KV_SANITIZE)
    target_compile_options(kv_sanitize INTERFACE -fsanitize=address,undefined
                                                 -fno-sanitize-recover=undefined
                                                 -fno-omit-frame-pointer -O1 -g1)
    target_link_options(kv_sanitize INTERFACE -fsanitize=address,undefined)
endif()

# kv_add_test(NAME SOURCES... [LIBS ...] [LABELS ...])
# One focused test executable per area, registered with CTest, built into build/tests.
function(kv_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE kv_warnings kv_sanitize ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name})
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
endfunction()
