# cmake -DICOTOOL=<icotool> -DICO=<Vantrell.ico> -P IcoImages.cmake
# The icon group must hold 48, 32 and 16 pixels, each at 16 colours, 256 colours and
# true colour: nine images, no more.
if(NOT ICOTOOL)
    message("SKIPPED: icotool is not installed (install-deps.sh test brings it)")
    return()
endif()
execute_process(COMMAND ${ICOTOOL} -l ${ICO} OUTPUT_VARIABLE listing ERROR_VARIABLE errors
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "icotool -l ${ICO} failed: ${errors}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
list(LENGTH lines count)
if(NOT count EQUAL 9)
    message(FATAL_ERROR "expected 9 images, icotool lists ${count}:\n${listing}")
endif()
foreach(size 48 32 16)
    foreach(format "4;16" "8;256" "32;0")
        list(GET format 0 depth)
        list(GET format 1 palette)
        string(FIND "${listing}"
               "--width=${size} --height=${size} --bit-depth=${depth} --palette-size=${palette}\n" at)
        if(at EQUAL -1)
            message(FATAL_ERROR "no ${size}x${size} image at ${depth} bits:\n${listing}")
        endif()
    endforeach()
endforeach()
