# Installation (cmake --install, make install PREFIX=...) and the Debian
# package (make package): the programs, the desktop entry, the icon, the
# AppStream metainfo, the manual pages, and the copyright file and changelog
# that Debian asks for. The help page and the default sounds are built into
# the program.
include(GNUInstallDirs)

set(WOMBAT_MAINTAINER "The Wombat project <wombat@example.org>" CACHE STRING
    "The Debian package's maintainer, as \"Name <mail address>\"")

set(WOMBAT_PROGRAMS wombat wombat-demohost wombat-link)
# The programs' relocations are resolved at start and then made read-only.
foreach(program IN LISTS WOMBAT_PROGRAMS)
  target_link_options(${program} PRIVATE LINKER:-z,relro LINKER:-z,now)
endforeach()
install(TARGETS ${WOMBAT_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/wombat.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/wombat.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES data/org.zeb.wombat.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Files compressed as Debian keeps them: gzip -9 without a name or a time
# stamp, so that the same text gives the same bytes.
set(WOMBAT_COMPRESSED)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
function(wombat_compress source output)
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${source} ${output}
    DEPENDS ${source} VERBATIM)
  set(WOMBAT_COMPRESSED ${WOMBAT_COMPRESSED} ${output} PARENT_SCOPE)
endfunction()

foreach(program IN LISTS WOMBAT_PROGRAMS)
  wombat_compress(${PROJECT_SOURCE_DIR}/data/man/${program}.1 ${PROJECT_BINARY_DIR}/man/${program}.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/man/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The changelog of the package's one version, dated by SOURCE_DATE_EPOCH
# when it is set.
string(TIMESTAMP WOMBAT_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(data/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
wombat_compress(${PROJECT_BINARY_DIR}/debian/changelog ${PROJECT_BINARY_DIR}/debian/changelog.gz)

# The machine-readable copyright file, with the licence text of LICENSE.
file(READ LICENSE WOMBAT_LICENSE)
string(REGEX REPLACE "^.*\n(Permission is hereby granted)" "\\1" WOMBAT_LICENSE "${WOMBAT_LICENSE}")
string(STRIP "${WOMBAT_LICENSE}" WOMBAT_LICENSE)
string(REPLACE "\n\n" "\n.\n" WOMBAT_LICENSE "${WOMBAT_LICENSE}")
string(REPLACE "\n" "\n " WOMBAT_LICENSE " ${WOMBAT_LICENSE}")
configure_file(data/debian/copyright.in ${PROJECT_BINARY_DIR}/debian/copyright @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS LICENSE)

add_custom_target(wombat_compressed_files ALL DEPENDS ${WOMBAT_COMPRESSED})
set(WOMBAT_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/wombat)
install(FILES README.md ${PROJECT_BINARY_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${WOMBAT_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wombat)
set(CPACK_PACKAGE_VENDOR "The Wombat project")
set(CPACK_PACKAGE_CONTACT "${WOMBAT_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${WOMBAT_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "terminal for Japanese bulletin-board and chat hosts")
# Below the summary: lines of at most 80 characters; an empty line starts a
# paragraph.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Wombat connects to bulletin-board and real-time chat hosts over telnet,
a modem on a serial port or a telephony modem, and answers the host's
prompts with a login script. Its terminal view shows the host's Shift-JIS
text, colours conference lines, page messages and participant lists, marks
links and mail addresses, emphasises chosen words and plays line
animations. Every received line is logged.

The package also holds wombat-demohost, a small chat host to try Wombat
on your own computer, and wombat-link, which follows and drives a running
Wombat from the shell.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Directories as Debian wants them, whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The library dependencies come from the Qt libraries the programs link;
# the platform plugins and the fonts are loaded at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic")
include(CPack)
