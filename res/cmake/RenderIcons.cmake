# cmake -DRSVG_CONVERT=<rsvg-convert> -DMAGICK_CONVERT=<ImageMagick convert>
#       -DICOTOOL=<icotool> -DART=<res/icon> -DOUT=<folder> [-DWORK=<folder>] -P RenderIcons.cmake
# Renders the icon set from the artwork in ART into OUT (through the scratch folder WORK,
# OUT/.rendering by default): vantrell-<size>.png for each size in RenderedIcons.cmake, and
# Vantrell.ico. The same tools give the same bytes on every run (icotool stores the palette
# images as bitmaps, so the dates ImageMagick writes into its PNGs never reach the icon).
# A tool that is missing fails with the package to install; with SKIP_MISSING, it prints a
# SKIPPED: line instead and renders nothing.
include(${CMAKE_CURRENT_LIST_DIR}/RenderedIcons.cmake)
foreach(tool "RSVG_CONVERT;rsvg-convert;librsvg2-bin" "MAGICK_CONVERT;ImageMagick convert;imagemagick"
        "ICOTOOL;icotool;icoutils")
    list(GET tool 0 var)
    list(GET tool 1 name)
    list(GET tool 2 package)
    if(NOT ${var})
        set(why "${name} not found: install the Debian package ${package} (install-deps.sh test brings it)")
        if(SKIP_MISSING)
            message("SKIPPED: ${why}")
            return()
        endif()
        message(FATAL_ERROR "${why}")
    endif()
endforeach()

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
        list(JOIN ARGN " " command)
        message(FATAL_ERROR "${command} failed: ${errors}")
    endif()
endfunction()

set(work ${OUT}/.rendering)
if(WORK)
    set(work ${WORK})
endif()
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
foreach(size IN LISTS VANTRELL_ICON_SIZES)
    # The small sizes have their own pixel-grid drawings; the smooth one blurs there.
    if(size EQUAL 16)
        set(art ${ART}/vantrell-16.svg)
    elseif(size LESS 32)
        set(art ${ART}/vantrell-24.svg)
    else()
        set(art ${ART}/vantrell.svg)
    endif()
    run(${RSVG_CONVERT} -w ${size} -h ${size} -o ${work}/vantrell-${size}.png ${art})
endforeach()

# Vantrell.ico: 48, 32 and 16 pixels, each at 16 colours, 256 colours and true colour.
# Palette images get one-bit transparency and no dithering, which only speckles at these sizes.
set(ico_arguments)
foreach(size 48 32 16)
    set(png ${work}/vantrell-${size}.png)
    foreach(depth 4 8)
        # One palette entry is left for the transparent colour.
        math(EXPR colours "(1 << ${depth}) - 1")
        set(reduced ${work}/vantrell-${size}-${depth}bit.png)
        run(${MAGICK_CONVERT} ${png} -channel A -threshold 50% +channel
            +dither -colors ${colours} PNG8:${reduced})
        list(APPEND ico_arguments -b ${depth} ${reduced})
    endforeach()
    list(APPEND ico_arguments -b 32 ${png})
endforeach()
run(${ICOTOOL} -c -o ${work}/Vantrell.ico ${ico_arguments})
execute_process(COMMAND ${CMAKE_COMMAND} -DICOTOOL=${ICOTOOL} -DICO=${work}/Vantrell.ico
                -P ${CMAKE_CURRENT_LIST_DIR}/CheckIco.cmake RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the rendered Vantrell.ico is refused (above)")
endif()

# Only a complete set replaces what OUT held; files that came out the same keep their
# times, so nothing rebuilds for them.
foreach(name IN LISTS VANTRELL_ICON_FILES)
    file(COPY_FILE ${work}/${name} ${OUT}/${name} ONLY_IF_DIFFERENT)
endforeach()
file(REMOVE_RECURSE ${work})
