# End-to-end tests of the installation target: "Change Drive or Path", the shell's folder dialog
# and path validation on the real file system and drives of the rig.
file(GLOB CVI_E2E_TARGET_SOURCES CONFIGURE_DEPENDS ${CVI_E2E_DIR}/Target*Test.cpp)
if(CVI_E2E_TARGET_SOURCES)
  cvi_e2e_tests(e2e_target_tests e2e-target ${CVI_E2E_TARGET_SOURCES})
endif()
