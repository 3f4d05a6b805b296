# The extraction benchmark: RunSelfExtractor on the full package against the pauses it asks for.
# Run it with bench/extract/run.sh.
if(WIN32)
  add_executable(extract_bench ${CMAKE_CURRENT_LIST_DIR}/ExtractBench.cpp)
  target_link_libraries(extract_bench PRIVATE cvwin32 cvwarnings)
  target_link_options(extract_bench PRIVATE -static -static-libgcc -static-libstdc++)
endif()
