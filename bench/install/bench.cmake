# The installation benchmark: INSTALL to the completion window, against the pauses the code asks
# for on that path. Run it with bench/install/run.sh.
if(WIN32 AND TARGET cvi_e2e_driver)
  add_executable(install_bench ${CMAKE_CURRENT_LIST_DIR}/InstallBench.cpp)
  target_link_libraries(install_bench PRIVATE cvi_e2e_driver cvwarnings)
  target_link_options(install_bench PRIVATE -static -static-libgcc -static-libstdc++)
  add_dependencies(install_bench CVInstall sample_product packages)
endif()
