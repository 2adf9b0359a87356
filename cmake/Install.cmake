# `cmake --install BUILD [--prefix DIR]`: the player and the catalogue server, plus on freedesktop
# systems the menu entry and the icon, so the program shows in the desktop's menu.
include(GNUInstallDirs)

install(TARGETS velora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} BUNDLE DESTINATION .)
if(TARGET velora-catalogue)
    install(TARGETS velora-catalogue RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(UNIX AND NOT APPLE)
    install(FILES ${PROJECT_SOURCE_DIR}/dist/linux/velora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/src/gui/icons/logo.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME velora.svg)
endif()

# Windows: Qt's libraries, plugins and translations are copied beside velora.exe by windeployqt
# when it is found (it comes with Qt), so the installed folder runs on a machine without Qt.
if(WIN32)
    find_program(VELORA_WINDEPLOYQT windeployqt HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}")
    if(VELORA_WINDEPLOYQT)
        install(CODE "execute_process(COMMAND \"${VELORA_WINDEPLOYQT}\" --no-compiler-runtime
                      \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/velora.exe\" COMMAND_ERROR_IS_FATAL ANY)")
    else()
        message(STATUS "windeployqt not found: the install holds velora.exe without Qt's libraries")
    endif()
endif()
