# cmake -DICOTOOL=<icotool> -DICO=<file.ico> -P CheckIco.cmake
# Fails unless the icon holds exactly 48, 32 and 16 pixels each at 4, 8 and 32 bits.
# icotool -c quietly stores 24 or 32 bits when a palette image has too many colours.
execute_process(COMMAND ${ICOTOOL} -l ${ICO} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "icotool -l ${ICO} failed")
endif()
string(REGEX MATCHALL "--width=[0-9]+ --height=[0-9]+ --bit-depth=[0-9]+" found "${listing}")
list(SORT found)
set(wanted)
foreach(size 16 32 48)
    foreach(depth 4 8 32)
        list(APPEND wanted "--width=${size} --height=${size} --bit-depth=${depth}")
    endforeach()
endforeach()
list(SORT wanted)
if(NOT found STREQUAL wanted)
    message(FATAL_ERROR "${ICO} holds the wrong images:\n${listing}\nwanted:\n${wanted}")
endif()
