# setup_delay_import(<target> <library>...): <target> imports the named system
# libraries (user32, gdi32, comdlg32 ...) so that each is loaded at its first
# call instead of at process start.
#
# Why: the loader resolves the libraries an executable imports, and the
# libraries those import in turn, before the program runs, searching the
# program's own folder first for any that is not a known system library. An
# installer is often started from a download folder; a planted library there
# (version.dll, which Wine's user32 imports, or comctl32.dll, which comdlg32
# imports) would run before setup.exe could restrict the search. Loaded at
# their first call, after load_system_libraries() has restricted the search to
# the system folder, these libraries and everything they pull in come from
# the system folder only.
#
# The delay-load import libraries are made at configure time from the
# toolchain's own import libraries (every name they export), with dlltool.
function(setup_delay_import target)
    set(dir ${CMAKE_BINARY_DIR}/delayimp)
    file(MAKE_DIRECTORY ${dir})
    foreach(lib ${ARGN})
        set(out ${dir}/lib${lib}_delay.a)
        if(NOT EXISTS ${out})
            find_library(SETUP_IMPORT_LIB_${lib} NAMES lib${lib}.a REQUIRED)
            execute_process(COMMAND ${CMAKE_NM} ${SETUP_IMPORT_LIB_${lib}}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE failed ERROR_QUIET)
            if(failed)
                message(FATAL_ERROR "nm failed on ${SETUP_IMPORT_LIB_${lib}}")
            endif()
            # Import symbols: "__imp_Name" (x86_64) or "__imp__Name@n" (i686).
            if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
                set(prefix "__imp__")
            else()
                set(prefix "__imp_")
            endif()
            string(REGEX MATCHALL " I ${prefix}[^\n]+" found "${symbols}")
            set(names "")
            foreach(entry ${found})
                string(REPLACE " I ${prefix}" "" name "${entry}")
                list(APPEND names "${name}")
            endforeach()
            list(REMOVE_DUPLICATES names)
            list(LENGTH names count)
            if(count LESS 10)
                message(FATAL_ERROR "only ${count} names found in ${SETUP_IMPORT_LIB_${lib}}")
            endif()
            list(JOIN names "\n    " exports)
            file(WRITE ${dir}/${lib}.def "LIBRARY ${lib}.dll\nEXPORTS\n    ${exports}\n")
            execute_process(COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${dir}/${lib}.def
                    --dllname ${lib}.dll --output-delaylib ${out}
                RESULT_VARIABLE failed)
            if(failed)
                message(FATAL_ERROR "dlltool failed for ${lib}")
            endif()
        endif()
        target_link_libraries(${target} PRIVATE ${out})
    endforeach()
    # The helper that the thunks call is the program's own
    # (src/platform/delay_load_helper.cpp).
endfunction()
