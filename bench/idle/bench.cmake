if(WIN32)
  add_executable(IdleBaseline WIN32 ${CMAKE_CURRENT_LIST_DIR}/IdleBaseline.cpp)
  target_link_options(IdleBaseline PRIVATE -static -static-libgcc -static-libstdc++)
endif()
