# Writes an Authenticode-signed (SHA-256) copy of a Windows program; only a signed file ever
# appears under OUT.
#   cmake -DIN=<file> -DOUT=<file> -DOSSLSIGNCODE=<program> -DPKCS12=<file> -DPASSWORD_FILE=<file>
#         [-DTIMESTAMP_URL=<url>] -P SignFile.cmake
set(args sign -pkcs12 ${PKCS12} -readpass ${PASSWORD_FILE} -h sha256 -n CelvaraStudio)
if(TIMESTAMP_URL)
  list(APPEND args -ts ${TIMESTAMP_URL})
endif()
get_filename_component(folder ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
file(REMOVE ${OUT}.part)
execute_process(COMMAND ${OSSLSIGNCODE} ${args} -in ${IN} -out ${OUT}.part
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE ${OUT}.part)
  message(FATAL_ERROR "Signing ${IN} failed:\n${output}")
endif()
file(RENAME ${OUT}.part ${OUT})
