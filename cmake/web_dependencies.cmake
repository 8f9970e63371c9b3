# The browser build's libraries: zlib, libpng, libjpeg-turbo and FreeType
# compiled for wasm by tools/web_deps.sh (emscripten's own "ports" would be
# downloaded, which the build never does), and nlohmann/json on its own
# include path: the system's /usr/include would shadow emscripten's libc.
set(VITRANE_WEB_DEPS "" CACHE PATH "Where tools/web_deps.sh installed the wasm libraries")
if(NOT VITRANE_WEB_DEPS OR NOT EXISTS "${VITRANE_WEB_DEPS}/prefix/lib/libjpeg.a")
  message(FATAL_ERROR "The web build needs its libraries: run tools/web_deps.sh and pass -DVITRANE_WEB_DEPS=<its folder> "
                      "(tools/web.sh does both)")
endif()
set(_web_prefix "${VITRANE_WEB_DEPS}/prefix")

function(vitrane_web_library target library)
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION "${_web_prefix}/lib/${library}"
                                             INTERFACE_INCLUDE_DIRECTORIES "${ARGN}")
endfunction()

vitrane_web_library(ZLIB::ZLIB libz.a "${_web_prefix}/include")
vitrane_web_library(PNG::PNG libpng16.a "${_web_prefix}/include")
set_property(TARGET PNG::PNG PROPERTY INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
vitrane_web_library(JPEG::JPEG libjpeg.a "${_web_prefix}/include")
vitrane_web_library(Freetype::Freetype libfreetype.a "${_web_prefix}/include/freetype2")
set_property(TARGET Freetype::Freetype PROPERTY INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)

add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                      INTERFACE_INCLUDE_DIRECTORIES "${VITRANE_WEB_DEPS}/include-extra")
# One thread: the background queue runs its jobs on the main thread.
add_library(Threads::Threads INTERFACE IMPORTED GLOBAL)

# A malformed interface file or scenario throws; without exceptions it
# would abort the page.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)
