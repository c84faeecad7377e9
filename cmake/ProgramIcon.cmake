# Tunelift's icon in every size a platform needs, drawn at build time from its one source,
# packaging/icon/tunelift.svg, with librsvg's rsvg-convert (Debian: librsvg2-bin); the Windows
# icon file is put together with icoutils' icotool. Nothing drawn from it is kept in the
# repository.

set(TUNELIFT_ICON_SOURCE ${PROJECT_SOURCE_DIR}/packaging/icon/tunelift.svg)
set(TUNELIFT_ICON_DIR ${CMAKE_BINARY_DIR}/icon)

# Sets `out_var` to the PNGs of the icon at each of the square `sizes` (in pixels), made into
# ${TUNELIFT_ICON_DIR}/tunelift-SIZE.png by rules of the calling folder.
function(tunelift_icon_pngs out_var)
  find_program(TUNELIFT_RSVG_CONVERT rsvg-convert REQUIRED
               DOC "librsvg's rsvg-convert (Debian: librsvg2-bin), which draws the icon")
  set(pngs)
  foreach(size IN LISTS ARGN)
    set(png ${TUNELIFT_ICON_DIR}/tunelift-${size}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${TUNELIFT_ICON_DIR}
      COMMAND ${TUNELIFT_RSVG_CONVERT} --width ${size} --height ${size}
              --output ${png} ${TUNELIFT_ICON_SOURCE}
      DEPENDS ${TUNELIFT_ICON_SOURCE}
      COMMENT "Drawing the icon at ${size} px"
      VERBATIM)
    list(APPEND pngs ${png})
  endforeach()
  set(${out_var} ${pngs} PARENT_SCOPE)
endfunction()

# Sets `out_var` to ${TUNELIFT_ICON_DIR}/tunelift.ico, holding the icon at the sizes Windows
# shows (the window's title bar and taskbar, the notification area, Explorer's views up to
# "extra large"). The 256 px image is kept as PNG, as Windows Vista and later read it.
function(tunelift_icon_ico out_var)
  find_program(TUNELIFT_ICOTOOL icotool REQUIRED
               DOC "icoutils' icotool (Debian: icoutils), which makes the Windows icon file")
  tunelift_icon_pngs(small 16 20 24 32 40 48 64)
  tunelift_icon_pngs(large 256)
  set(ico ${TUNELIFT_ICON_DIR}/tunelift.ico)
  add_custom_command(OUTPUT ${ico}
    COMMAND ${TUNELIFT_ICOTOOL} --create --output=${ico} ${small} --raw=${large}
    DEPENDS ${small} ${large}
    COMMENT "Putting the Windows icon together"
    VERBATIM)
  set(${out_var} ${ico} PARENT_SCOPE)
endfunction()
