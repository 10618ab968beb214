# Every C++ source and header of the program, its tests and benchmarks is as clang-format 14 lays
# it out with the repository's .clang-format. Says "skipped" when clang-format 14 is missing, as
# another version lays some code out otherwise.
#   -DSOURCE_DIR=<the repository>
find_program(formatter NAMES clang-format-14 clang-format)
if(formatter)
    execute_process(COMMAND "${formatter}" --version OUTPUT_VARIABLE version)
endif()
if(NOT formatter OR NOT version MATCHES "version 14\\.")
    message("skipped: clang-format 14 is not installed (scripts/install-deps.sh)")
    return()
endif()

file(GLOB_RECURSE sources LIST_DIRECTORIES false
    "${SOURCE_DIR}/src/*.cpp" "${SOURCE_DIR}/src/*.h"
    "${SOURCE_DIR}/tests/*.cpp" "${SOURCE_DIR}/tests/*.h"
    "${SOURCE_DIR}/bench/*.cpp" "${SOURCE_DIR}/bench/*.h")
execute_process(COMMAND "${formatter}" --dry-run --Werror ${sources}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "Not laid out as clang-format lays it out (run clang-format -i on these "
        "files):\n${out}")
endif()
