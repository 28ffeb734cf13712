# Signs one Windows program in place with osslsigncode (Authenticode, SHA-256).
#   cmake -DOSSLSIGNCODE=... -DFILE=Setup.exe -DPKCS12=cert.pfx [-DPASSWORD_FILE=f]
#         [-DTIMESTAMP_URL=url] [-DDESCRIPTION=text] -P sign-file.cmake
# The signed copy replaces FILE only once osslsigncode succeeded, so a failed
# signing never leaves a half-written program behind.
foreach(required OSSLSIGNCODE FILE PKCS12)
  if(NOT ${required})
    message(FATAL_ERROR "sign-file: ${required} is not set")
  endif()
endforeach()
if(NOT EXISTS "${PKCS12}")
  message(FATAL_ERROR "sign-file: the certificate ${PKCS12} does not exist")
endif()

set(arguments sign -pkcs12 "${PKCS12}" -h sha256)
if(PASSWORD_FILE)
  list(APPEND arguments -readpass "${PASSWORD_FILE}")
endif()
if(TIMESTAMP_URL)
  list(APPEND arguments -ts "${TIMESTAMP_URL}")
endif()
if(DESCRIPTION)
  list(APPEND arguments -n "${DESCRIPTION}")
endif()

set(signed "${FILE}.signed")
file(REMOVE "${signed}")
execute_process(COMMAND "${OSSLSIGNCODE}" ${arguments} -in "${FILE}" -out "${signed}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${signed}")
  message(FATAL_ERROR "sign-file: osslsigncode could not sign ${FILE}:\n${output}")
endif()
file(RENAME "${signed}" "${FILE}")
