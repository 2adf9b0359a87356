# `cmake --build BUILD --target format` formats every tracked C++ source with the repository's
# .clang-format; `--target check-format` fails on the first file that differs (the CI step).
find_program(VELORA_CLANG_FORMAT NAMES clang-format-14 clang-format)
if(VELORA_CLANG_FORMAT)
    add_custom_target(format
        COMMAND ${CMAKE_COMMAND} -E env CLANG_FORMAT=${VELORA_CLANG_FORMAT} ${PROJECT_SOURCE_DIR}/scripts/format.sh
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "Formatting the sources"
        VERBATIM)
    add_custom_target(check-format
        COMMAND ${CMAKE_COMMAND} -E env CLANG_FORMAT=${VELORA_CLANG_FORMAT} ${PROJECT_SOURCE_DIR}/scripts/format.sh --check
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "Checking the sources' format"
        VERBATIM)
else()
    message(STATUS "clang-format not found: no format and check-format targets")
endif()
