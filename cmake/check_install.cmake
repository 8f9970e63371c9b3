# ctest's install check: installs the build into a fresh prefix and runs
# the installed runner there, which must find its resources beside itself.
#   cmake -DBUILD=DIR -DPREFIX=DIR -P check_install.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(file bin/vitrane-run share/vitrane/MainInterface.json share/vitrane/WoodGrain1200x900.jpg
             share/applications/com.quillfen.Vitrane.desktop share/metainfo/com.quillfen.Vitrane.metainfo.xml
             share/icons/hicolor/256x256/apps/com.quillfen.Vitrane.png share/man/man1/vitrane.1.gz
             share/man/man1/vitrane-run.1.gz share/doc/vitrane/copyright)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
if(EXISTS "${PREFIX}/share/vitrane/web" OR EXISTS "${PREFIX}/share/vitrane/icons")
  message(FATAL_ERROR "the web app's and the menu's icons belong elsewhere than share/vitrane")
endif()
file(WRITE "${PREFIX}/check.scn" "frames 2\ndump\n")
# Found before the source tree's folder (tests/install_layout_test.cpp
# checks the order).
execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=VITRANE_RESOURCES
                        "${PREFIX}/bin/vitrane-run" "${PREFIX}/check.scn"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out MATCHES "STATE {")
  message(FATAL_ERROR "the installed vitrane-run failed (${status}): ${err}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
