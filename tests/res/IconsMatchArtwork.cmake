# cmake -DOUT=<folder> -DCOMMITTED=<res/icon> -DRENDER=<RenderIcons.cmake> <its arguments>
#       -P IconsMatchArtwork.cmake
# The committed icon set must be what its artwork renders to, byte for byte: an SVG edited
# without `make icons` fails here. Skipped where the tools are missing.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
include(${RENDER})
if(NOT EXISTS ${OUT}/Vantrell.ico)
    return()
endif()
set(stale)
foreach(name IN LISTS VANTRELL_ICON_FILES)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${name} ${COMMITTED}/${name}
                    RESULT_VARIABLE differ)
    if(differ)
        list(APPEND stale ${name})
    endif()
endforeach()
if(stale)
    message(FATAL_ERROR "res/icon/ does not hold what its artwork renders to (${OUT}): "
                        "${stale}. Run `make icons` and commit the result.")
endif()
