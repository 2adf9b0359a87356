# Installs the build into a throwaway prefix and checks what a desktop needs from it: both
# programs, a menu entry that the freedesktop validator accepts, and the icon it names.
# cmake -DBUILD_DIR=... -DPREFIX=... -P check_install.cmake
cmake_minimum_required(VERSION 3.21)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed:\n${output}")
endif()

set(entry "${PREFIX}/share/applications/velora.desktop")
foreach(path "${PREFIX}/bin/velora" "${PREFIX}/bin/velora-catalogue" "${entry}"
             "${PREFIX}/share/icons/hicolor/scalable/apps/velora.svg")
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

file(READ "${entry}" text)
foreach(expected "Exec=velora" "Icon=velora" "Name=Velora" "Name[zh_CN]=维洛拉")
    string(FIND "${text}" "\n${expected}\n" found)
    if(found EQUAL -1)
        message(FATAL_ERROR "${entry} lacks the line ${expected}")
    endif()
endforeach()

find_program(VALIDATE desktop-file-validate)
if(NOT VALIDATE)
    message(FATAL_ERROR "desktop-file-validate is missing (Debian package desktop-file-utils)")
endif()
execute_process(COMMAND "${VALIDATE}" "${entry}" RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate rejects ${entry}:\n${output}")
endif()
message(STATUS "installed layout checked under ${PREFIX}")
