# Tests of the Win32 layer (registry, timed wait, process start) against the real Wine APIs.
# Needs cvi_e2e_tests() from tests/e2e/tests.cmake, which is included before this file.
file(GLOB CVI_WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*Test.cpp)
# A program built as the shipped ones are, whose runtime fails on request.
add_executable(lean_runtime_probe WIN32 ${CMAKE_CURRENT_LIST_DIR}/LeanRuntimeProbe.cpp)
set_target_properties(lean_runtime_probe PROPERTIES OUTPUT_NAME LeanRuntimeProbe)
cvi_lean_program(lean_runtime_probe)
# The download tests are a program of their own (below): they need the vendor server stand-in.
list(FILTER CVI_WIN32_TEST_SOURCES EXCLUDE REGEX "/Download[^/]*$")
# So are the code-page tests: their group runs Wine with the double-byte code page 932.
list(FILTER CVI_WIN32_TEST_SOURCES EXCLUDE REGEX "/CodePage[^/]*$")
if(CVI_WIN32_TEST_SOURCES)
  cvi_e2e_tests(win32_tests win32 ${CVI_WIN32_TEST_SOURCES})
  add_dependencies(win32_tests lean_runtime_probe)
endif()
cvi_e2e_tests(cp932_tests win32-cp932 ${CMAKE_CURRENT_LIST_DIR}/CodePage932Test.cpp)

# ---------------------------------------------------------------------------------------------
# Package download: the transfer through WinINet, the file system and the real frmInstall window,
# against the vendor server stand-in that the rig starts on 127.0.0.1:47801. The driver starts a
# program from a package's name, as a self-extractor left from an earlier attempt would run.
file(GLOB CVI_DOWNLOAD_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/Download*Test.cpp)
if(CVI_DOWNLOAD_TEST_SOURCES)
  cvi_e2e_tests(download_tests e2e-download ${CVI_DOWNLOAD_TEST_SOURCES})
endif()
