# A signed release of the sample product (tests/release/test_release.py): scripts/release, the
# signatures, and the released installer installing the released packages under Wine. It has its
# own label, since it builds a release tree: ctest -L release.
add_executable(e2e_release_tests ${CMAKE_CURRENT_LIST_DIR}/ReleaseInstallTest.cpp)
target_link_libraries(e2e_release_tests PRIVATE cvi_e2e_driver gtest_main cvwarnings)
target_link_options(e2e_release_tests PRIVATE -static -static-libgcc -static-libstdc++)

add_test(NAME release_signed_sample
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/test_release.py SignedRelease)
set_tests_properties(release_signed_sample PROPERTIES
  LABELS release TIMEOUT 1200 RESOURCE_LOCK e2e-release
  ENVIRONMENT "CVI_RELEASE_E2E=$<TARGET_FILE:e2e_release_tests>;CVI_SAMPLE_PRODUCT=$<TARGET_FILE:sample_product>;CVI_RELEASE_BUILD_DIR=${CMAKE_BINARY_DIR}/release-test")
