# The browser host (tools/web.sh): the kit, the application and the
# compositor compiled to WebAssembly, drawn with WebGL2 (OpenGL ES 3), with
# the page's script (hosts/web/page/) around it. The window's own logic
# that does not need SDL (screen mapping, loop timing, the keyboard's
# tablet) is shared with it.

file(GLOB RENDER_SOURCES CONFIGURE_DEPENDS render/*.cpp)
# Offscreen drawing goes through EGL, which the browser does not have.
list(REMOVE_ITEM RENDER_SOURCES ${CMAKE_SOURCE_DIR}/render/offscreen_context.cpp)
add_library(vitrane_render STATIC ${RENDER_SOURCES})
target_link_libraries(vitrane_render PUBLIC vitrane_kit Freetype::Freetype)
vitrane_layer(vitrane_render render kit render)

file(GLOB WEB_SOURCES CONFIGURE_DEPENDS hosts/web/*.cpp)
add_executable(vitrane-web ${WEB_SOURCES}
  hosts/desktop/loop_timing.cpp
  hosts/desktop/screen_mapping.cpp
  hosts/desktop/tablet_keys.cpp
  hosts/headless/state_dump.cpp)
set_target_properties(vitrane-web PROPERTIES OUTPUT_NAME vitrane SUFFIX ".js")
target_link_libraries(vitrane-web PRIVATE vitrane_app vitrane_render)
vitrane_host(vitrane-web)

# What the page finds in the module's file system: the resources, and the
# two faces of DejaVu Sans where the text rasteriser looks for them.
set(_font_dir /usr/share/fonts/truetype/dejavu)
foreach(font DejaVuSans.ttf DejaVuSans-Bold.ttf)
  if(NOT EXISTS ${_font_dir}/${font})
    message(FATAL_ERROR "${_font_dir}/${font} is missing: install fonts-dejavu-core")
  endif()
endforeach()
set(_exports
  _main _malloc _free
  _vitrane_frame _vitrane_resize _vitrane_pointer _vitrane_cancel_touches _vitrane_key
  _vitrane_orientation _vitrane_motion _vitrane_screen_angle _vitrane_acceleration_sign
  _vitrane_camera_available _vitrane_library_chosen _vitrane_photo_chosen _vitrane_photo_cancelled
  _vitrane_context_lost _vitrane_context_restored _vitrane_state)
list(JOIN _exports "," _exports_list)
target_link_options(vitrane-web PRIVATE
  -sENVIRONMENT=web
  -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB -sMAXIMUM_MEMORY=2GB
  -sEXPORTED_FUNCTIONS=${_exports_list}
  -sEXPORTED_RUNTIME_METHODS=ccall,cwrap,FS,UTF8ToString
  # SHELL: keeps the repeated option from being folded into one.
  "SHELL:--preload-file ${CMAKE_SOURCE_DIR}/resources@/resources"
  "SHELL:--exclude-file ${CMAKE_SOURCE_DIR}/resources/web"
  "SHELL:--exclude-file ${CMAKE_SOURCE_DIR}/resources/icons"
  "SHELL:--preload-file ${_font_dir}/DejaVuSans.ttf@${_font_dir}/DejaVuSans.ttf"
  "SHELL:--preload-file ${_font_dir}/DejaVuSans-Bold.ttf@${_font_dir}/DejaVuSans-Bold.ttf")
set_property(TARGET vitrane-web APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/resources/MainInterface.json
                                                             ${CMAKE_SOURCE_DIR}/resources/HelpPanel.json)

# Decode times under node, beside the native build of the same program
# (tools/web_bench.sh).
add_executable(vitrane-web-decode-timing bench/web/decode_timing.cpp)
target_link_libraries(vitrane-web-decode-timing PRIVATE vitrane_kit)
target_link_options(vitrane-web-decode-timing PRIVATE -sENVIRONMENT=node -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1
                                                      -sMAXIMUM_MEMORY=2GB)
