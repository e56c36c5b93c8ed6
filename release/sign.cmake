# Signs one Windows program, DLL or installer package in place with
# osslsigncode (Authenticode, SHA-256), with a time stamp when given a
# time-stamp server (RFC 3161):
#   cmake -DFILE=Norvale.exe -DCERT=cert.pem -DKEY=key.pem [-DTIMESTAMP_URL=URL]
#         [-DOSSLSIGNCODE=osslsigncode] -P sign.cmake
foreach(name FILE CERT KEY)
    if(NOT DEFINED ${name})
        message(FATAL_ERROR "sign.cmake: ${name} is not set")
    endif()
endforeach()
if(NOT DEFINED OSSLSIGNCODE)
    set(OSSLSIGNCODE osslsigncode)
endif()
set(options -certs "${CERT}" -key "${KEY}" -h sha256 -n Norvale)
if(TIMESTAMP_URL)
    list(APPEND options -ts "${TIMESTAMP_URL}")
endif()
if(FILE MATCHES "\\.msi$")
    # MsiDigitalSignatureEx: the signature covers the package's own metadata too.
    list(APPEND options -add-msi-dse)
endif()
set(signed "${FILE}.signed")
file(REMOVE "${signed}")
execute_process(COMMAND "${OSSLSIGNCODE}" sign ${options} -in "${FILE}" -out "${signed}"
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(RENAME "${signed}" "${FILE}")
