# The self-extractor stand-in: the archive reader, the stub program, and the packages built from
# it that the vendor server stand-in serves (build/<preset>/packages).
set(CVI_SFX_DIR ${CMAKE_CURRENT_LIST_DIR})

add_library(cvsfxzip STATIC ${CVI_SFX_DIR}/ZipArchive.cpp)
target_include_directories(cvsfxzip PUBLIC ${CVI_SFX_DIR})
target_link_libraries(cvsfxzip PRIVATE cvwarnings)
if(MINGW)
  # zlib's static archive: the import library would make the stub need zlib1.dll.
  target_link_libraries(cvsfxzip PUBLIC -l:libz.a)
else()
  find_package(ZLIB REQUIRED)
  target_link_libraries(cvsfxzip PUBLIC ZLIB::ZLIB)
endif()

if(WIN32)
  add_executable(sfx_stub WIN32 ${CVI_SFX_DIR}/SfxStub.cpp)
  target_link_libraries(sfx_stub PRIVATE cvsfxzip cvwarnings shell32 ole32)
  target_include_directories(sfx_stub PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_compile_definitions(sfx_stub PRIVATE WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX STRICT)
  set_target_properties(sfx_stub PROPERTIES OUTPUT_NAME SfxStub
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools/sfx)
  if(MINGW)
    target_link_options(sfx_stub PRIVATE -static -static-libgcc -static-libstdc++ -s
                                         -Wl,--gc-sections)
  endif()

  # Each package is rebuilt when the stub, the product or a script changes.
  set(CVI_PACKAGES_DIR ${CMAKE_BINARY_DIR}/packages)
  set(CVI_PACKAGE_SCRIPTS ${CVI_SFX_DIR}/make_package.py ${CVI_SFX_DIR}/package_contents.py)
  set(CVI_PACKAGE_FILES)
  foreach(package "CelvaraStudio_v3.9.exe=full" "CelvaraStudio_Upgrade_v3.9.exe=upgrade"
                  "test/CelvaraStudio_WrongLog_v3.9.exe=wrong-log")
    string(REPLACE "=" ";" package ${package})
    list(GET package 0 name)
    list(GET package 1 kind)
    set(content ${CMAKE_BINARY_DIR}/tools/sfx/content/${kind})
    add_custom_command(
      OUTPUT ${CVI_PACKAGES_DIR}/${name}
      COMMAND ${Python3_EXECUTABLE} ${CVI_SFX_DIR}/package_contents.py --kind ${kind}
              --product $<TARGET_FILE:sample_product> --output ${content}
      COMMAND ${Python3_EXECUTABLE} ${CVI_SFX_DIR}/make_package.py --stub $<TARGET_FILE:sfx_stub>
              --folder ${content} --output ${CVI_PACKAGES_DIR}/${name}
      DEPENDS sfx_stub sample_product ${CVI_PACKAGE_SCRIPTS}
      COMMENT "Building the package ${name}")
    list(APPEND CVI_PACKAGE_FILES ${CVI_PACKAGES_DIR}/${name})
  endforeach()
  add_custom_target(packages ALL DEPENDS ${CVI_PACKAGE_FILES})
elseif(CVINSTALL_TESTS)
  # With the host tests: the archive reader natively, and the package builder.
  include(GoogleTest)
  add_executable(sfx_tests ${CVI_SFX_DIR}/ZipArchiveTest.cpp)
  target_link_libraries(sfx_tests PRIVATE cvsfxzip gtest_main cvwarnings)
  gtest_discover_tests(sfx_tests DISCOVERY_TIMEOUT 60)
  add_test(NAME make_package COMMAND ${Python3_EXECUTABLE} ${CVI_SFX_DIR}/test_make_package.py)
endif()
