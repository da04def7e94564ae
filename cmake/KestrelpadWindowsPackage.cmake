# The Windows build's help and its two packages, both named by the project's version:
#   Kestrelpad-<version>-setup.exe   the setup program (packaging/windows/Kestrelpad.nsi, makensis)
#   Kestrelpad-<version>-win64.zip   the same files to unpack anywhere
# Built by the target package_windows (make package-windows). Included from the top-level
# CMakeLists.txt in the Windows build, after the targets kestrelpad and kpad exist.

# The help: the same pages as on Linux, compiled with chmcmd into Kestrelpad.chm beside the
# programs, where the About page looks for it. (The install rules of doc/ are not used: the
# setup program installs on Windows.)
include(GNUInstallDirs)
set(KP_HELP_BUILD_PATH "${CMAKE_BINARY_DIR}/Kestrelpad.chm")
set(KP_HELP_HTML_BUILD_DIR "${CMAKE_BINARY_DIR}/help")
set(KP_HELP_HTML_INSTALL_DIR help)
find_program(KP_CHMCMD chmcmd REQUIRED)
add_subdirectory(${CMAKE_SOURCE_DIR}/doc ${CMAKE_BINARY_DIR}/doc)
add_dependencies(kestrelpad kp_help)

find_program(KP_MAKENSIS makensis)
set(kp_package_name Kestrelpad-${PROJECT_VERSION})
set(kp_stage ${CMAKE_BINARY_DIR}/package/${kp_package_name}-win64)
set(kp_setup ${CMAKE_BINARY_DIR}/${kp_package_name}-setup.exe)
set(kp_zip ${CMAKE_BINARY_DIR}/${kp_package_name}-win64.zip)
set(kp_nsi ${CMAKE_SOURCE_DIR}/packaging/windows/Kestrelpad.nsi)
# The picture at the side of the setup program's last page: the icon on white.
set(kp_side ${CMAKE_BINARY_DIR}/win/setup-side.bmp)
add_custom_command(OUTPUT ${kp_side}
  COMMAND ${KP_CONVERT} -size 164x314 xc:white "(" -background none ${CMAKE_SOURCE_DIR}/data/icons/kestrelpad.svg
          -resize 96x96 ")" -gravity north -geometry +0+40 -composite BMP3:${kp_side}
  DEPENDS data/icons/kestrelpad.svg
  VERBATIM)
if(KP_MAKENSIS)
  add_custom_command(OUTPUT ${kp_setup} ${kp_zip}
    COMMAND ${CMAKE_COMMAND} -DBUILD=${CMAKE_BINARY_DIR} -DSOURCE=${CMAKE_SOURCE_DIR}
            -DSTAGE=${kp_stage} -DSTRIP=${CMAKE_STRIP} -P ${CMAKE_SOURCE_DIR}/packaging/windows/stage.cmake
    COMMAND ${CMAKE_COMMAND} -E rm -f ${kp_zip}
    COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package
            ${CMAKE_COMMAND} -E tar cf ${kp_zip} --format=zip ${kp_package_name}-win64
    COMMAND ${KP_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DSTAGE=${kp_stage}
            -DICON=${CMAKE_BINARY_DIR}/win/kestrelpad.ico -DSIDE=${kp_side} -DOUTFILE=${kp_setup} ${kp_nsi}
    DEPENDS kestrelpad kpad ${KP_HELP_BUILD_PATH} ${CMAKE_BINARY_DIR}/win/kestrelpad.ico ${kp_side}
            ${kp_nsi} ${CMAKE_SOURCE_DIR}/packaging/windows/stage.cmake
            ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
    COMMENT "Making ${kp_package_name}-setup.exe and ${kp_package_name}-win64.zip"
    VERBATIM)
  add_custom_target(package_windows DEPENDS ${kp_setup} ${kp_zip})
  add_dependencies(package_windows kp_help)
else()
  add_custom_target(package_windows
    COMMAND ${CMAKE_COMMAND} -E echo "makensis not found: apt-get install nsis (scripts/setup.sh windows)"
    COMMAND ${CMAKE_COMMAND} -E false)
endif()

# The setup program under Wine: install, the context-menu verbs' runs, uninstall. Alone: it
# restarts the Wine session with its own display. make test-windows builds the package first.
add_test(NAME windows_installer
         COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/installer.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(windows_installer PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
