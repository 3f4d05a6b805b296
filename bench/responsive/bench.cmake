# The responsiveness benchmark: how quickly frmInstall answers during downloads of every kind.
# Run it with bench/responsive/run.sh.
if(WIN32 AND TARGET cvi_e2e_driver)
  add_executable(responsive_bench ${CMAKE_CURRENT_LIST_DIR}/ResponsiveBench.cpp)
  target_link_libraries(responsive_bench PRIVATE cvi_e2e_driver cvwarnings)
  target_link_options(responsive_bench PRIVATE -static -static-libgcc -static-libstdc++)
endif()
