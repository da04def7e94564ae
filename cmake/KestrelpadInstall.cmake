# Installation, desktop integration, documentation and the Debian package.
# Included once at the end of the top-level CMakeLists.txt, after the targets kpad and
# (with KP_GUI) kestrelpad exist.
#
#   cmake --install build                 -> /usr/local (CMAKE_INSTALL_PREFIX)
#   cd build && cpack -G DEB              -> kestrelpad_<version>-<revision>_<arch>.deb for /usr
#
# The build runs three Debian tools: rsvg-convert (librsvg2-bin) for the PNG icons, scdoc for
# the manual pages and chmcmd (fp-utils) for the help file. A missing tool only leaves out
# what it makes, with a warning, so a bare build still works.

include(GNUInstallDirs)

# Where the help file is installed, relative to the installation prefix; the desktop program
# looks for Kestrelpad.chm beside its binary first, then at <binary's folder>/../ this path,
# which holds for /usr/local and /usr alike. The HTML pages of the same help lie in the
# folder KP_HELP_HTML_INSTALL_DIR (also relative to the prefix), with index.html first.
set(KP_HELP_INSTALL_PATH "${CMAKE_INSTALL_DATADIR}/kestrelpad/Kestrelpad.chm")
set(KP_HELP_HTML_INSTALL_DIR "${CMAKE_INSTALL_DATADIR}/kestrelpad/help")
# In the build tree: the help file beside the binaries, its pages in help/.
set(KP_HELP_BUILD_PATH "${CMAKE_BINARY_DIR}/Kestrelpad.chm")
set(KP_HELP_HTML_BUILD_DIR "${CMAKE_BINARY_DIR}/help")

# Installed folders get 0755 whatever the umask of the one who builds the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(KP_DOC_INSTALL_DIR "${CMAKE_INSTALL_DATADIR}/doc/kestrelpad")

# The Debian package's maintainer and revision (data/debian/changelog.in and CPack use them).
set(KP_PACKAGE_MAINTAINER "Kestrelpad developers <kestrelpad@tarnel-software.example>"
    CACHE STRING "Maintainer field and changelog signature of the Debian package")
set(KP_DEB_REVISION 1 CACHE STRING "Debian revision of the package (the part after the '-')")

function(kp_find_tool var program package what)
  find_program(${var} ${program})
  if(NOT ${var})
    message(WARNING "${program} not found: ${what} will not be built or installed "
                    "(apt-get install ${package}, or scripts/setup.sh build)")
  endif()
endfunction()
kp_find_tool(KP_RSVG_CONVERT rsvg-convert librsvg2-bin "the PNG icons")
kp_find_tool(KP_SCDOC scdoc scdoc "the manual pages")
kp_find_tool(KP_CHMCMD chmcmd fp-utils "the help file Kestrelpad.chm")
find_program(KP_GZIP gzip REQUIRED)

install(TARGETS kpad RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kestrelpad)
  install(TARGETS kestrelpad RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The installed programs resolve their libraries at start and keep the tables read-only.
foreach(t IN ITEMS kpad kestrelpad)
  if(TARGET ${t})
    target_link_options(${t} PRIVATE LINKER:-z,relro LINKER:-z,now)
  endif()
endforeach()

add_subdirectory(${CMAKE_SOURCE_DIR}/data ${CMAKE_BINARY_DIR}/data)
add_subdirectory(${CMAKE_SOURCE_DIR}/doc ${CMAKE_BINARY_DIR}/doc)

# The project's public page, once it has one; until then the "Home page" link opens the
# installed user guide.
set(KP_HOME_PAGE "" CACHE STRING "Address the About tab's \"Home page\" link opens (empty: the user guide)")
if(TARGET kp_ui)
  target_compile_definitions(kp_ui PUBLIC
    KP_HOME_PAGE="${KP_HOME_PAGE}"
    KP_HELP_INSTALL_PATH="${KP_HELP_INSTALL_PATH}"
    KP_HELP_HTML_INSTALL_DIR="${KP_HELP_HTML_INSTALL_DIR}")
endif()
if(TARGET kestrelpad)
  # Building the desktop program also puts the help beside it.
  if(TARGET kp_help)
    add_dependencies(kestrelpad kp_help)
  endif()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/KestrelpadPackage.cmake)
