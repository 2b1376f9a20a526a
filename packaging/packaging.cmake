# What `cmake --install` places and how CPack makes a Debian package of it.
include(GNUInstallDirs)

install(PROGRAMS ${CMAKE_CURRENT_LIST_DIR}/karvel-net-start DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/karvel-net.desktop ${CMAKE_CURRENT_LIST_DIR}/karvelc.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/app/icons/about-picture.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps RENAME karvel-net.png)
install(FILES ${PROJECT_SOURCE_DIR}/app/icons/about.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME karvelc.png)
# The program carries the clip in its resources; the file is installed for reference.
install(FILES ${PROJECT_SOURCE_DIR}/line/eth_v.gif DESTINATION ${CMAKE_INSTALL_DATADIR}/karvel RENAME Eth_v.gif)
install(FILES ${PROJECT_SOURCE_DIR}/docs/accounting-interface.md ${PROJECT_SOURCE_DIR}/docs/installer.md
  ${PROJECT_SOURCE_DIR}/docs/operator.md ${PROJECT_SOURCE_DIR}/docs/simulator.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} OPTIONAL)

# Registration of the test accounting server with every user's session bus: the bus starts
# it when the supervision program asks for "KarvelC.DataControlServ".
# The program's path is the one it is installed at, known only when installing.
install(CODE [[
  set(service "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/dbus-1/services/KarvelC.DataControlServ.service")
  message(STATUS "Installing: ${service}")
  file(WRITE "${service}"
    "[D-BUS Service]\nName=KarvelC.DataControlServ\nExec=${CMAKE_INSTALL_PREFIX}/bin/KarvelC -Embedding\n")
]])

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME karvel)
set(CPACK_PACKAGE_VENDOR "Vistam")
set(CPACK_PACKAGE_CONTACT "Vistam <support@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Supervision and accounting of portion weighers on RS-485 lines")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "dbus, dbus-user-session, fluid-soundfont-gm")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
