# The stand-in product (CelvaraStudio.exe) and a decoy (Program.exe) for the start-up tests.
if(WIN32)
  # GUI-subsystem programs, so that starting them opens no console.
  add_executable(sample_product WIN32 ${CMAKE_CURRENT_LIST_DIR}/SampleProduct.cpp)
  set_target_properties(sample_product PROPERTIES OUTPUT_NAME CelvaraStudio
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools/sample_product)
  add_executable(decoy_program WIN32 ${CMAKE_CURRENT_LIST_DIR}/DecoyProgram.cpp)
  set_target_properties(decoy_program PROPERTIES OUTPUT_NAME Program
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools/sample_product)
  foreach(tool sample_product decoy_program)
    target_link_libraries(${tool} PRIVATE cvwarnings)
    target_link_options(${tool} PRIVATE -static -static-libgcc -static-libstdc++ -s)
  endforeach()
endif()
