# The transfer benchmark: the installer's DownloadFile with its window against a bare WinINet loop.
# Run it with bench/transfer/run.sh.
if(WIN32)
  add_executable(transfer_bench ${CMAKE_CURRENT_LIST_DIR}/TransferBench.cpp)
  target_link_libraries(transfer_bench PRIVATE cvwin32 psapi cvwarnings)
  target_link_options(transfer_bench PRIVATE -static -static-libgcc -static-libstdc++)
endif()
