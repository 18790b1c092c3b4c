# Signs a Windows program file in place with Authenticode when a signing
# certificate is given, and does nothing when none is:
#
#   cmake -DFILE=path/program.exe -P cmake/SignWin32.cmake
#
# The certificate comes from the environment of the build, so that no
# secret is written into the build tree or onto a command line (absolute
# paths):
#   LEVELSET_SIGN_PKCS12         a PKCS#12 file with the key and its certificate chain
#   LEVELSET_SIGN_PASSWORD_FILE  a file that holds its password
#   LEVELSET_SIGN_TIMESTAMP_URL  (optional) an RFC 3161 time-stamping service, which
#                                keeps the signature valid after the certificate expires
if("$ENV{LEVELSET_SIGN_PKCS12}" STREQUAL "")
  return()
endif()
if("$ENV{LEVELSET_SIGN_PASSWORD_FILE}" STREQUAL "")
  message(FATAL_ERROR "LEVELSET_SIGN_PKCS12 is set, but LEVELSET_SIGN_PASSWORD_FILE does not name the file with its password")
endif()
# The build runs in its own directory, not where the variables were set.
foreach(variable LEVELSET_SIGN_PKCS12 LEVELSET_SIGN_PASSWORD_FILE)
  if(NOT IS_ABSOLUTE "$ENV{${variable}}")
    message(FATAL_ERROR "${variable} must be an absolute path, not $ENV{${variable}}")
  endif()
endforeach()
find_program(OSSLSIGNCODE osslsigncode)
if(NOT OSSLSIGNCODE)
  message(FATAL_ERROR "signing needs osslsigncode (apt-get install osslsigncode)")
endif()

set(arguments sign -pkcs12 "$ENV{LEVELSET_SIGN_PKCS12}" -readpass "$ENV{LEVELSET_SIGN_PASSWORD_FILE}"
    -h sha256 -n "Quillomar Level-Set Installer")
if(NOT "$ENV{LEVELSET_SIGN_TIMESTAMP_URL}" STREQUAL "")
  list(APPEND arguments -ts "$ENV{LEVELSET_SIGN_TIMESTAMP_URL}")
endif()
file(REMOVE "${FILE}.signed")
execute_process(COMMAND "${OSSLSIGNCODE}" ${arguments} -in "${FILE}" -out "${FILE}.signed"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${FILE}.signed")
  message(FATAL_ERROR "cannot sign ${FILE}:\n${output}")
endif()
file(RENAME "${FILE}.signed" "${FILE}")
message(STATUS "signed ${FILE}")
