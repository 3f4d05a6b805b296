if(WIN32)
  add_executable(StartupTime ${CMAKE_CURRENT_LIST_DIR}/StartupTime.cpp)
  target_link_options(StartupTime PRIVATE -static -static-libgcc -static-libstdc++)
endif()
