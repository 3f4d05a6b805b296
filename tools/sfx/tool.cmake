# The self-extractor stand-in: the archive reader, the stub program, and the packages built from
# it that the vendor server stand-in serves (build/<preset>/packages).
set(CVI_SFX_DIR ${CMAKE_CURRENT_LIST_DIR})

add_library(cvsfxzip STATIC ${CVI_SFX_DIR}/ZipArchive.cpp)
target_include_directories(cvsfxzip PUBLIC ${CVI_SFX_DIR})
target_link_libraries(cvsfxzip PUBLIC cvcodec PRIVATE cvwarnings cvlean)

if(WIN32)
  configure_file(${CVI_SFX_DIR}/SfxStub.manifest.in ${CMAKE_BINARY_DIR}/tools/sfx/SfxStub.manifest
                 @ONLY)
  set_source_files_properties(${CVI_SFX_DIR}/SfxStub.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_BINARY_DIR}/tools/sfx/SfxStub.manifest;${CVI_RESOURCES_DIR}/Version.h;${CMAKE_SOURCE_DIR}/src/resources/VersionInfo.rc")
  add_executable(sfx_stub WIN32 ${CVI_SFX_DIR}/SfxStub.cpp ${CVI_SFX_DIR}/SfxStub.rc)
  # It runs from the installation folder: its entry point takes that folder out of the DLL search,
  # as the installer's does.
  target_link_libraries(sfx_stub PRIVATE cvsfxzip cvdllsearch cvwarnings shell32 ole32)
  target_include_directories(sfx_stub PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/tools/sfx
                                              ${CVI_RESOURCES_DIR} ${CMAKE_SOURCE_DIR}/src/resources)
  target_compile_definitions(sfx_stub PRIVATE WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX STRICT)
  set_target_properties(sfx_stub PROPERTIES OUTPUT_NAME SfxStub
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools/sfx)
  # Every package carries it: built as lean as CVInstall.exe (cmake/LeanProgram.cmake).
  cvi_lean_program(sfx_stub)

  # Each package is rebuilt when the stub, its files or a script changes; with a certificate
  # given, what lands in packages/ is the signed package.
  set(CVI_PACKAGES_DIR ${CMAKE_BINARY_DIR}/packages)
  set(CVI_PACKAGE_SCRIPTS ${CVI_SFX_DIR}/make_package.py ${CVI_SFX_DIR}/package_contents.py)
  set(CVI_PACKAGE_FILES)
  function(cvi_add_package name folder log)
    set(output ${CVI_PACKAGES_DIR}/${name})
    set(built ${output})
    set(sign)
    if(CVI_SIGNING)
      set(built ${CVI_PACKAGES_DIR}/unsigned/${name})
      cvi_sign_commands(sign ${built} ${output})
    endif()
    add_custom_command(
      OUTPUT ${output}
      ${ARGN}
      COMMAND ${Python3_EXECUTABLE} ${CVI_SFX_DIR}/make_package.py --stub $<TARGET_FILE:sfx_stub>
              --folder ${folder} --log ${log} --output ${built}
      ${sign}
      DEPENDS sfx_stub ${CVI_PACKAGE_SCRIPTS} ${CVI_PACKAGE_INPUTS} ${CVI_SIGN_INPUTS}
      COMMENT "Building the package ${name}")
    set(CVI_PACKAGE_FILES ${CVI_PACKAGE_FILES} ${output} PARENT_SCOPE)
  endfunction()

  set(full_log CVInstall_${CVI_PRODUCT_VERSION}.txt)
  set(upgrade_log CVUpgrade_${CVI_PRODUCT_VERSION}.txt)
  if(CVI_FULL_PRODUCT_DIR)
    # A release: the vendor's product.
    foreach(kind FULL UPGRADE)
      file(GLOB_RECURSE CVI_PACKAGE_INPUTS CONFIGURE_DEPENDS ${CVI_${kind}_PRODUCT_DIR}/*)
      string(TOLOWER ${kind} lower)
      cvi_add_package(${CVI_${kind}_PACKAGE_NAME} ${CVI_${kind}_PRODUCT_DIR} ${${lower}_log})
    endforeach()
  else()
    # The sample product, and a package whose log file no installer run looks for.
    set(CVI_PACKAGE_INPUTS sample_product)
    foreach(package "${CVI_FULL_PACKAGE_NAME}=full=${full_log}"
                    "${CVI_UPGRADE_PACKAGE_NAME}=upgrade=${upgrade_log}"
                    "test/CelvaraStudio_WrongLog_${CVI_PRODUCT_VERSION}.exe=wrong-log=CVSetup_${CVI_PRODUCT_VERSION}.txt")
      string(REPLACE "=" ";" package ${package})
      list(GET package 0 name)
      list(GET package 1 kind)
      list(GET package 2 log)
      set(content ${CMAKE_BINARY_DIR}/tools/sfx/content/${kind})
      cvi_add_package(${name} ${content} ${log}
        COMMAND ${Python3_EXECUTABLE} ${CVI_SFX_DIR}/package_contents.py --kind ${kind}
                --product $<TARGET_FILE:sample_product> --output ${content})
    endforeach()
  endif()
  add_custom_target(packages ALL DEPENDS ${CVI_PACKAGE_FILES})
elseif(CVINSTALL_TESTS)
  # With the host tests: the archive reader natively, and the package builder.
  include(GoogleTest)
  add_executable(sfx_tests ${CVI_SFX_DIR}/ZipArchiveTest.cpp)
  # zlib makes the deflate data of the archives the tests write.
  find_package(ZLIB REQUIRED)
  target_link_libraries(sfx_tests PRIVATE cvsfxzip ZLIB::ZLIB gtest_main cvwarnings)
  gtest_discover_tests(sfx_tests DISCOVERY_TIMEOUT 60)
  add_test(NAME make_package COMMAND ${Python3_EXECUTABLE} ${CVI_SFX_DIR}/test_make_package.py)
endif()
