# The Debian package (CPack's DEB generator) and the test that builds and inspects it.
# Build everything first, then: cd build && cpack -G DEB

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrelpad)
set(CPACK_PACKAGE_VENDOR "Tarnel Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KP_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "backup assistant keeping project states as ZIP archives")
# The summary line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY; CPack indents this text and
# turns its empty line into the " ." of a Debian description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Kestrelpad keeps the successive states of one project, a folder or a single
file, as plain ZIP archives in a folder #tarnel beside it. Each start stores
one state: a full copy, or a relative archive holding only what changed since
the newest full one. Every stored file is checked by CRC against the disk, and
old archives are thinned by trains whose length follows the project's status.

The desktop program shows a small progress card and an options window for
comments, versions, browsing and restoring states, and settings; it is
offered in the file managers' Open With menus and as the action Back up
with Kestrelpad. The command-line program kpad stores, lists, compares,
extracts, restores and verifies without windows.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KP_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KP_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xchm | kchmviewer")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)

# The package test: only with the desktop program (the package is meant to hold it) and
# the tools it runs.
if(TARGET kestrelpad AND KP_RSVG_CONVERT AND KP_SCDOC AND KP_CHMCMD)
  find_program(KP_DPKG_DEB dpkg-deb)
  find_program(KP_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(KP_LINTIAN lintian)
  find_program(KP_DESKTOP_FILE_VALIDATE desktop-file-validate)
  find_program(KP_MAN man)
  if(KP_DPKG_DEB AND KP_DPKG_SHLIBDEPS AND KP_LINTIAN AND KP_DESKTOP_FILE_VALIDATE AND KP_MAN)
    add_test(NAME package_deb
             COMMAND ${CMAKE_SOURCE_DIR}/tests/package/check-package.sh
                     ${CMAKE_BINARY_DIR} ${CMAKE_COMMAND} ${PROJECT_VERSION})
    set_tests_properties(package_deb PROPERTIES
      TIMEOUT 900
      RESOURCE_LOCK heavy_machine
      PROCESSORS 2
      LABELS package)
  else()
    message(STATUS "package_deb test left out: it needs dpkg-deb, dpkg-shlibdeps (dpkg-dev), "
                   "lintian, desktop-file-validate (desktop-file-utils) and man (man-db)")
  endif()
endif()
