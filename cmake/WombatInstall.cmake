# Installation (cmake --install, make install PREFIX=...) and the Debian
# package (make package): the programs, the desktop entry, the icon and the
# AppStream metainfo. The help page and the default sounds are built into
# the program.
include(GNUInstallDirs)

set(WOMBAT_PROGRAMS wombat wombat-demohost)
# The sibling-link helper, once it is part of the build.
if(TARGET wombat-link)
  list(APPEND WOMBAT_PROGRAMS wombat-link)
endif()
install(TARGETS ${WOMBAT_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/wombat.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/wombat.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES data/org.zeb.wombat.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/wombat)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wombat)
set(CPACK_PACKAGE_VENDOR "The Wombat project")
set(CPACK_PACKAGE_CONTACT "The Wombat project <wombat@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "terminal for Japanese bulletin-board and chat hosts")
set(CPACK_PACKAGE_DESCRIPTION "Wombat connects to bulletin-board and chat hosts over telnet or a modem, \
runs a login script and shows the host's Shift-JIS text in a view that colours conference \
lines, marks links and plays line animations. wombat-demohost is a small chat host to try it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The library dependencies come from the Qt libraries the programs link;
# the platform plugins and the fonts are loaded at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic")
include(CPack)
