# The responsiveness benchmark: how quickly frmInstall answers during downloads of every kind.
# Run it with bench/responsive/run.sh.
if(WIN32)
  add_executable(responsive_bench ${CMAKE_CURRENT_LIST_DIR}/ResponsiveBench.cpp)
  target_link_libraries(responsive_bench PRIVATE cvwin32 cvwarnings)
  target_link_options(responsive_bench PRIVATE -static -static-libgcc -static-libstdc++)
endif()
