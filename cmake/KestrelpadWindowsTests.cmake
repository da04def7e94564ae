# The Windows build's own test pieces: a helper that holds a file open without sharing (the
# busy check needs a second Windows process), and the crossing of archives between kpad.exe
# and the Linux kpad, run as a script.
add_executable(hold_file tests/windows/helper/hold_file.cpp)
set_target_properties(hold_file PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_options(hold_file PRIVATE -municode)
if(TARGET test_windows)
  add_dependencies(test_windows hold_file)
  # The text helpers' case mapping is the system's own on Windows: run their tests there too.
  target_sources(test_windows PRIVATE ${CMAKE_SOURCE_DIR}/tests/platform/TextTest.cpp)
endif()
# The Linux kpad the archives cross with: the Linux build's, made before the Windows tests run.
set(KP_LINUX_KPAD ${CMAKE_SOURCE_DIR}/build/kpad CACHE FILEPATH "The Linux kpad that tests/windows/crossing.sh uses")
add_test(NAME windows_crossing
         COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/crossing.sh ${CMAKE_BINARY_DIR} ${KP_LINUX_KPAD})
set_tests_properties(windows_crossing PROPERTIES TIMEOUT 300)
# The window tests' driver: a second Windows program that finds kestrelpad.exe's windows and
# controls and works them by messages. It knows the controls by the names of resource.h.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/win/resource.h kp_resource_lines REGEX "^#define ID[CM]_[A-Za-z0-9]+ [0-9]+")
set(kp_driver_ids "// Made by CMake from src/win/resource.h.\n#pragma once\n#include <utility>\n")
string(APPEND kp_driver_ids "constexpr std::pair<const wchar_t*, int> kControlIds[] = {\n    {L\"OK\", 1},\n    {L\"Cancel\", 2},\n")
foreach(line IN LISTS kp_resource_lines)
  string(REGEX REPLACE "^#define ID[CM]_([A-Za-z0-9]+) ([0-9]+).*" "    {L\"\\1\", \\2},\n" entry "${line}")
  string(APPEND kp_driver_ids "${entry}")
endforeach()
string(APPEND kp_driver_ids "};\n")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/driver/kpdriver_ids.h CONTENT "${kp_driver_ids}" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/win/resource.h)
add_executable(kpdriver tests/win/driver/kpdriver.cpp)
target_include_directories(kpdriver PRIVATE ${CMAKE_BINARY_DIR}/driver)
target_link_libraries(kpdriver PRIVATE user32 comctl32)
target_link_options(kpdriver PRIVATE -municode)
set_target_properties(kpdriver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
