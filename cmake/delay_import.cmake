# Delay-import libraries for the system DLLs that are not known DLLs. A
# program linked with one loads the DLL at the first call into it, once the
# program has limited where DLLs come from, instead of at its start, when
# Windows looks in the program's own folder first.
#   norvale_delay_import(TARGET DEF...)
# Each DEF (relative to the calling folder) names the DLL and the functions
# used from it, with the i686 stdcall sizes (@N), which the x86-64 build drops.
function(norvale_delay_import target)
    find_program(NORVALE_DLLTOOL ${TOOLCHAIN_PREFIX}-dlltool REQUIRED)
    foreach(def ${ARGN})
        get_filename_component(dll ${def} NAME_WE)
        set(source ${CMAKE_CURRENT_SOURCE_DIR}/${def})
        set(used ${CMAKE_CURRENT_BINARY_DIR}/${dll}.def)
        set(library ${CMAKE_CURRENT_BINARY_DIR}/lib${dll}_delay.a)
        file(READ ${source} exports)
        if(CMAKE_SIZEOF_VOID_P EQUAL 8)
            string(REGEX REPLACE "@[0-9]+" "" exports "${exports}")
            set(undecorated "")
        else()
            # The DLL exports the names without their size.
            set(undecorated --kill-at)
            # A function the headers declare dllimport is called through its
            # import slot only, never by its own name; the i686 linker then
            # drops the stub the slot starts out pointing at and writes the
            # slot as 0, so the first call jumps to address 0. Asking for
            # every stub by name keeps them all.
            string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*@[0-9]+" functions "${exports}")
            foreach(function ${functions})
                target_link_options(${target} INTERFACE "LINKER:-u,_${function}")
            endforeach()
        endif()
        file(CONFIGURE OUTPUT ${used} CONTENT "${exports}" @ONLY)
        add_custom_command(OUTPUT ${library}
            COMMAND ${NORVALE_DLLTOOL} --input-def ${used} --dllname ${dll}.dll
                --output-delaylib ${library} ${undecorated}
            DEPENDS ${used}
            VERBATIM)
        add_custom_target(${target}_${dll}_delay DEPENDS ${library})
        add_dependencies(${target} ${target}_${dll}_delay)
        target_link_libraries(${target} PUBLIC ${library})
    endforeach()
endfunction()
