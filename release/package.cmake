# Makes the Windows Installer package of release/Norvale.wxs around one
# Norvale.exe and its custom action NorvaleConfig.dll, with wixl and msibuild
# (Debian's wixl and msitools), and signs it when given a certificate:
#   cmake -DEXE=Norvale.exe -DACTION=NorvaleConfig.dll -DCONFIG=config.txt
#         -DVERSION=1.0 -DOUTPUT=Norvale-1.0.msi [-DWIXL=wixl] [-DMSIBUILD=msibuild]
#         [-DMSIINFO=msiinfo] [-DSIGN_CERT=cert.pem -DSIGN_KEY=key.pem
#         [-DSIGN_TIMESTAMP_URL=URL] [-DOSSLSIGNCODE=osslsigncode]] -P package.cmake
# CONFIG is the config.txt the package installs when none is there. EXE and
# ACTION go into the package as they are: sign them first (sign.cmake).
foreach(name EXE ACTION CONFIG VERSION OUTPUT)
    if(NOT DEFINED ${name})
        message(FATAL_ERROR "package.cmake: ${name} is not set")
    endif()
endforeach()
# Each tool not given is looked for by its own name (WIXL: wixl).
foreach(tool WIXL MSIBUILD MSIINFO OSSLSIGNCODE)
    if(NOT DEFINED ${tool})
        string(TOLOWER ${tool} ${tool})
    endif()
endforeach()
get_filename_component(source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# wixl looks for the files a package holds in its working folder.
set(stage "${OUTPUT}.stage")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}")
file(COPY_FILE "${EXE}" "${stage}/Norvale.exe")
file(COPY_FILE "${ACTION}" "${stage}/NorvaleConfig.dll")
file(COPY_FILE "${source_dir}/release/GUIDE.txt" "${stage}/GUIDE.txt")
file(COPY_FILE "${CONFIG}" "${stage}/config.txt")
file(COPY_FILE "${source_dir}/res/icons/norvale.ico" "${stage}/Norvale.ico")

set(package "${stage}/Norvale.msi")
execute_process(COMMAND "${WIXL}" -D "Version=${VERSION}" -o "${package}"
        "${CMAKE_CURRENT_LIST_DIR}/Norvale.wxs"
    WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)

# The public properties a managed install passes on to the install itself:
# wixl's own (the upgrade's) and the three settings.
execute_process(COMMAND "${MSIINFO}" export "${package}" Property
    OUTPUT_VARIABLE properties COMMAND_ERROR_IS_FATAL ANY)
if(NOT properties MATCHES "\nSecureCustomProperties\t([^\r\n]*)")
    message(FATAL_ERROR "package.cmake: wixl wrote no SecureCustomProperties")
endif()
set(secure "${CMAKE_MATCH_1};HOST;CODESPATH;TRANSFERPATH")
if(NOT properties MATCHES "\nUpgradeCode\t([^\r\n]*)")
    message(FATAL_ERROR "package.cmake: wixl wrote no UpgradeCode")
endif()
string(TOUPPER "${CMAKE_MATCH_1}" upgrade_code)

# What wixl cannot say. config.txt is its component's key path; 144 is
# permanent (16: an uninstall leaves it) | never overwrite (128: installed
# only when no config.txt is there, so an upgrade keeps the user's).
# RemoveFile rows remove, on uninstall (mode 2), the files the program
# writes itself. The upgrade row that finds the versions this one replaces
# takes its own version too, so that a rebuilt package of the same version
# replaces the installed one: 513 is migrate features (1) | version max
# inclusive (0x200). Attributes is part of the row's key: the row is made
# again.
foreach(query
        "UPDATE Component SET Attributes = 144 WHERE Component = 'Config'"
        "INSERT INTO RemoveFile (FileKey, Component_, FileName, DirProperty, InstallMode) VALUES ('RemoveUpdateBat', 'Program', 'update.bat', 'INSTALLDIR', 2)"
        "INSERT INTO RemoveFile (FileKey, Component_, FileName, DirProperty, InstallMode) VALUES ('RemoveCodes', 'Temp', 'CODES.DAT', 'TempDir', 2)"
        "DELETE FROM Upgrade WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'"
        "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('${upgrade_code}', '${VERSION}', 513, 'WIX_UPGRADE_DETECTED')"
        "UPDATE Property SET Value = '${secure}' WHERE Property = 'SecureCustomProperties'")
    execute_process(COMMAND "${MSIBUILD}" "${package}" -q "${query}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# Signed last: a change after signing would break the signature.
if(SIGN_CERT)
    execute_process(COMMAND "${CMAKE_COMMAND}" -DFILE=${package} -DCERT=${SIGN_CERT}
            -DKEY=${SIGN_KEY} -DTIMESTAMP_URL=${SIGN_TIMESTAMP_URL}
            -DOSSLSIGNCODE=${OSSLSIGNCODE} -P "${CMAKE_CURRENT_LIST_DIR}/sign.cmake"
        COMMAND_ERROR_IS_FATAL ANY)
endif()

file(RENAME "${package}" "${OUTPUT}")
file(REMOVE_RECURSE "${stage}")
