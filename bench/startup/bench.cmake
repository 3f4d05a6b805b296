if(WIN32)
  add_executable(StartupTime ${CMAKE_CURRENT_LIST_DIR}/StartupTime.cpp)
  target_link_options(StartupTime PRIVATE -static -static-libgcc -static-libstdc++)
  add_executable(StartupBaseline WIN32 ${CMAKE_CURRENT_LIST_DIR}/StartupBaseline.cpp)
  target_link_options(StartupBaseline PRIVATE -static -static-libgcc -static-libstdc++)
  add_executable(StartupFloor WIN32 ${CMAKE_CURRENT_LIST_DIR}/StartupFloor.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/StartupFloor.rc)
  target_include_directories(StartupFloor PRIVATE ${CVI_RESOURCES_DIR})
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/StartupFloor.rc PROPERTIES
    OBJECT_DEPENDS ${CVI_RESOURCES_DIR}/CVInstall.manifest)
  target_link_libraries(StartupFloor PRIVATE cvcore comctl32)
  target_link_options(StartupFloor PRIVATE -static -static-libgcc -static-libstdc++)
endif()
