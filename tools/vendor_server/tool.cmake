# The vendor server stand-in is a Python script; its own test runs with the host tests.
if(CVINSTALL_TESTS AND NOT WIN32)
  add_test(NAME vendor_server
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/test_vendor_server.py)
endif()
