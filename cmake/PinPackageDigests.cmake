# Writes the package digests header from the packages a build has just made: their digests, sizes
# and deepest paths.
#   cmake -DFULL=<package> -DUPGRADE=<package> -DTEMPLATE=<.h.in> -DOUTPUT=<.h> -DPYTHON=<python3>
#         -DFACTS=<package_facts.py> -P PinPackageDigests.cmake
foreach(kind FULL UPGRADE)
  file(SHA256 ${${kind}} CVI_${kind}_PACKAGE_SHA256)
  execute_process(COMMAND ${PYTHON} ${FACTS} ${${kind}} OUTPUT_VARIABLE facts
                  RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(failed OR NOT facts MATCHES "^([0-9]+) ([0-9]+)$")
    message(FATAL_ERROR "Cannot read the size and the deepest path of ${${kind}}.")
  endif()
  set(CVI_${kind}_PACKAGE_SIZE ${CMAKE_MATCH_1})
  set(CVI_${kind}_PACKAGE_DEEPEST_PATH ${CMAKE_MATCH_2})
endforeach()
# configure_file leaves an unchanged header alone, so nothing recompiles needlessly.
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
