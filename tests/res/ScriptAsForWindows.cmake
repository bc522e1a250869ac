# Compiles Vantrell.rc as the Windows build does, windres preprocessing with the cross
# compiler and the platform's headers, and requires the very bytes the Linux build
# embeds (compiled with the host's cpp and res/host/windows.h).
#   WINDRES; CROSS_GCC, false where not installed: skipped; ICO_DIR, the folder of
#   Vantrell.ico; RC_DIR, the script and resource.h; GENERATED_DIR, VantrellVersion.h
#   and the manifest; EMBEDDED; OUT
if(NOT CROSS_GCC)
    message("SKIPPED: x86_64-w64-mingw32-gcc is not installed (install-deps.sh test brings it)")
    return()
endif()
execute_process(COMMAND ${WINDRES} -I ${ICO_DIR} -I ${RC_DIR} -I ${GENERATED_DIR} -O res -o ${OUT} ${RC_DIR}/Vantrell.rc
                RESULT_VARIABLE result ERROR_VARIABLE error)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "windres with the cross compiler failed: ${error}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${EMBEDDED} RESULT_VARIABLE differ)
if(differ)
    message(FATAL_ERROR "${EMBEDDED} differs from the script as the Windows build compiles "
                        "it, ${OUT}: res/host/windows.h gives a constant another value")
endif()
