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
