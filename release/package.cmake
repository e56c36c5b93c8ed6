# Makes the Windows Installer package of release/Norvale.wxs around one
# Norvale.exe, with wixl and msibuild (Debian's wixl and msitools):
#   cmake -DEXE=Norvale.exe -DCONFIG=config.txt -DVERSION=1.0 -DOUTPUT=Norvale-1.0.msi
#         [-DWIXL=wixl] [-DMSIBUILD=msibuild] -P package.cmake
# CONFIG is the config.txt the package installs when none is there.
foreach(name EXE CONFIG VERSION OUTPUT)
    if(NOT DEFINED ${name})
        message(FATAL_ERROR "package.cmake: ${name} is not set")
    endif()
endforeach()
if(NOT DEFINED WIXL)
    set(WIXL wixl)
endif()
if(NOT DEFINED MSIBUILD)
    set(MSIBUILD msibuild)
endif()
get_filename_component(source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# wixl looks for the files a package holds in its working folder.
set(stage "${OUTPUT}.stage")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}")
file(COPY_FILE "${EXE}" "${stage}/Norvale.exe")
file(COPY_FILE "${source_dir}/release/GUIDE.txt" "${stage}/GUIDE.txt")
file(COPY_FILE "${CONFIG}" "${stage}/config.txt")
file(COPY_FILE "${source_dir}/res/icons/norvale.ico" "${stage}/Norvale.ico")

set(package "${stage}/Norvale.msi")
execute_process(COMMAND "${WIXL}" -D "Version=${VERSION}" -o "${package}"
        "${CMAKE_CURRENT_LIST_DIR}/Norvale.wxs"
    WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)

# What wixl cannot say. config.txt is its component's key path; 144 is
# permanent (16: an uninstall leaves it) | never overwrite (128: installed
# only when no config.txt is there, so an upgrade keeps the user's).
# RemoveFile rows remove, on uninstall (mode 2), the files the program
# writes itself.
foreach(query
        "UPDATE Component SET Attributes = 144 WHERE Component = 'Config'"
        "INSERT INTO RemoveFile (FileKey, Component_, FileName, DirProperty, InstallMode) VALUES ('RemoveUpdateBat', 'Program', 'update.bat', 'INSTALLDIR', 2)"
        "INSERT INTO RemoveFile (FileKey, Component_, FileName, DirProperty, InstallMode) VALUES ('RemoveCodes', 'Temp', 'CODES.DAT', 'TempDir', 2)")
    execute_process(COMMAND "${MSIBUILD}" "${package}" -q "${query}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

file(RENAME "${package}" "${OUTPUT}")
file(REMOVE_RECURSE "${stage}")
