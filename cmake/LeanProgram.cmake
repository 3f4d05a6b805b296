# What the programs that ship are built with: CVInstall.exe and the self-extractor stub are
# downloaded by every user, the stub once with every package.
#
# cvlean: the compile options of every source of theirs, libraries included (link it PRIVATE, so
# that tests and benchmarks keep their own). With the GNU toolchain:
#   -Os                        for size: the programs wait for the user and the network, and -O3's
#                              inlining made CVInstall.exe about a tenth larger;
#   -fno-exceptions -fno-asynchronous-unwind-tables -fno-unwind-tables
#                              nothing throws (results, not exceptions), so nothing catches and
#                              nothing unwinds: no exception or unwind tables, no unwinder; the
#                              runtime's own failures end the process (LeanRuntime.cpp);
#   -fno-rtti                  nothing asks for a type at run time;
#   -ffunction-sections -fdata-sections
#                              a section per function and datum, which --gc-sections drops when
#                              nothing refers to it.
# Code that catches does not compile here: report a failure as a result instead. The printf family
# brings MinGW's own formatter (about 28 KB); the programs format numbers with std::to_string.
# Link-time optimisation is not used: GCC 12's stopped with an internal compiler error on
# CVInstall.exe, and took only 7 % off the stub.
add_library(cvlean INTERFACE)
if(MINGW)
  target_compile_options(cvlean INTERFACE -Os -fno-exceptions -fno-asynchronous-unwind-tables
                                          -fno-unwind-tables -fno-rtti -ffunction-sections
                                          -fdata-sections)
endif()

# cvi_lean_program(target): a shipped program. With the GNU toolchain it links the lean runtime
# (src/platform/win32/LeanRuntime.cpp; the program defines the title and text of its message),
# statically (it imports system DLLs only), stripped, without unreferenced sections, and with the
# win32 thread model's runtime: the posix model's (needed by the tests) would bring the POSIX
# threads library. Both are the same compiler release with the same ABI.
function(cvi_lean_program target)
  target_link_libraries(${target} PRIVATE cvlean)
  if(NOT MINGW)
    return()
  endif()
  target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src/platform/win32/LeanRuntime.cpp)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -s
                                        -Wl,--gc-sections)
  string(REGEX REPLACE "-posix$" "-win32" win32_model_cxx "${CMAKE_CXX_COMPILER}")
  if(NOT win32_model_cxx STREQUAL CMAKE_CXX_COMPILER AND EXISTS "${win32_model_cxx}")
    execute_process(COMMAND "${win32_model_cxx}" -print-file-name=libstdc++.a
                    OUTPUT_VARIABLE libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${libstdcxx}" AND EXISTS "${libstdcxx}")
      get_filename_component(libdir "${libstdcxx}" DIRECTORY)
      target_link_options(${target} PRIVATE "-L${libdir}")
    endif()
  endif()
endfunction()
