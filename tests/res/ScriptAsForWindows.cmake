# Compiles Vantrell.rc as the Windows build does, windres preprocessing with the cross
# compiler and the platform's headers, and requires the very bytes the Linux build
# embeds (compiled with the host's cpp and res/host/windows.h).
#   WINDRES, CROSS_GCC (empty: skipped), ICO_DIR (the built Vantrell.ico), RC_DIR (the
#   script and resource.h), EMBEDDED, OUT
if(NOT CROSS_GCC)
    message("SKIPPED: x86_64-w64-mingw32-gcc is not installed (install-deps.sh test brings it)")
    return()
endif()
get_filename_component(cross_bin ${CROSS_GCC} DIRECTORY)
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "PATH=${cross_bin}:$ENV{PATH}"
            ${WINDRES} -I ${ICO_DIR} -I ${RC_DIR} -O res -o ${OUT} ${RC_DIR}/Vantrell.rc
    RESULT_VARIABLE result ERROR_VARIABLE error)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "windres with the cross compiler failed: ${error}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${EMBEDDED} RESULT_VARIABLE differ)
if(differ)
    file(SIZE ${OUT} cross_size)
    file(SIZE ${EMBEDDED} embedded_size)
    message(FATAL_ERROR "${EMBEDDED} (${embedded_size} bytes) differs from the script as the "
                        "Windows build compiles it, ${OUT} (${cross_size} bytes): a constant in "
                        "res/host/windows.h has another value than the platform's")
endif()
