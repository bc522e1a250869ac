# The rendered icon set committed in res/icon/ beside its artwork: the sizes of the PNGs
# and the names of every file RenderIcons.cmake writes.
set(VANTRELL_ICON_SIZES 16 22 24 32 48 64 128 256)
set(VANTRELL_ICON_FILES Vantrell.ico)
foreach(size IN LISTS VANTRELL_ICON_SIZES)
    list(APPEND VANTRELL_ICON_FILES vantrell-${size}.png)
endforeach()
