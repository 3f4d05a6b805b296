# Authenticode signing of the programs the build ships, when a certificate is given: the
# installer and the packages, SHA-256, through osslsigncode.
#
#   CVINSTALL_SIGN_PKCS12          the code-signing certificate with its key, a PKCS#12 file
#   CVINSTALL_SIGN_PASSWORD_FILE   a file holding that file's password (its first line)
#   CVINSTALL_SIGN_TIMESTAMP_URL   an RFC 3161 time-stamp server; optional
#
# Sets CVI_SIGNING, and CVI_SIGN_INPUTS to what a signature depends on besides the file.
# cvi_sign_commands(<out-var> <in> <out>) gives the COMMAND lines of an add_custom_command that
# writes a signed copy of <in> to <out>.
set(CVINSTALL_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file with the code-signing certificate and key; when set, the build signs what it ships")
set(CVINSTALL_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the PKCS#12 file's password")
set(CVINSTALL_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures")

set(CVI_SIGNING OFF)
set(CVI_SIGN_INPUTS)
if(CVINSTALL_SIGN_PKCS12)
  foreach(setting CVINSTALL_SIGN_PKCS12 CVINSTALL_SIGN_PASSWORD_FILE)
    if(NOT ${setting} OR NOT EXISTS "${${setting}}" OR IS_DIRECTORY "${${setting}}")
      message(FATAL_ERROR "${setting} must name a readable file (got '${${setting}}').")
    endif()
  endforeach()
  find_program(CVI_OSSLSIGNCODE osslsigncode REQUIRED)
  find_program(CVI_OPENSSL openssl REQUIRED)
  # A certificate whose password does not open it is refused now rather than halfway through the
  # build. Files exported by older Windows use ciphers that OpenSSL 3 keeps in its legacy provider.
  foreach(legacy "" "-legacy")
    execute_process(COMMAND ${CVI_OPENSSL} pkcs12 ${legacy} -in ${CVINSTALL_SIGN_PKCS12} -noout
                            -passin file:${CVINSTALL_SIGN_PASSWORD_FILE}
                    RESULT_VARIABLE opened OUTPUT_QUIET ERROR_QUIET)
    if(opened EQUAL 0)
      break()
    endif()
  endforeach()
  if(NOT opened EQUAL 0)
    message(FATAL_ERROR "The password in ${CVINSTALL_SIGN_PASSWORD_FILE} does not open "
                        "${CVINSTALL_SIGN_PKCS12}, or that file is no PKCS#12 certificate.")
  endif()
  set(CVI_SIGNING ON)
  set(CVI_SIGN_INPUTS ${CVINSTALL_SIGN_PKCS12} ${CVINSTALL_SIGN_PASSWORD_FILE})
endif()

function(cvi_sign_commands out in signed)
  set(${out}
      COMMAND ${CMAKE_COMMAND} -DIN=${in} -DOUT=${signed} -DOSSLSIGNCODE=${CVI_OSSLSIGNCODE}
              -DPKCS12=${CVINSTALL_SIGN_PKCS12} -DPASSWORD_FILE=${CVINSTALL_SIGN_PASSWORD_FILE}
              "-DTIMESTAMP_URL=${CVINSTALL_SIGN_TIMESTAMP_URL}"
              -P ${CMAKE_SOURCE_DIR}/cmake/SignFile.cmake
      PARENT_SCOPE)
endfunction()
