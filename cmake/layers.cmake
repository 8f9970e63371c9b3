# The layers, kept by the build: each layer's targets search an include root
# of their own under the build tree that links only the folders the layer may
# use, so an include that runs back up the layers does not compile.
#
#   kit     kit/
#   render  kit/ render/
#   parts   kit/ and the application's parts (app/ motion/ geometry/ ...)
#   hosts   the whole source tree
#
# The tests named layers_* compile one probe a boundary and pass when the
# compiler cannot find the header the probe reaches up for.

set(VITRANE_PARTS app motion geometry world photos capture fakescreen help)

# Gives `target` (and what links it) the include root of `layer`, made of
# links to the folders that follow.
function(vitrane_layer target layer)
  set(root ${CMAKE_BINARY_DIR}/layers/${layer})
  file(MAKE_DIRECTORY ${root})
  foreach(folder ${ARGN})
    if(NOT EXISTS ${root}/${folder})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# A host may include every folder.
function(vitrane_host target)
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

# A test that passes when `probe` (a file under tests/layers/) does not
# compile against `library`'s include roots because `header` is out of reach.
function(vitrane_layer_probe name library probe header)
  add_library(vitrane_probe_${name} OBJECT EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/layers/${probe})
  target_link_libraries(vitrane_probe_${name} PRIVATE ${library})
  add_test(NAME layers_${name}
           COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target vitrane_probe_${name})
  string(REPLACE "." "\\." pattern "${header}")
  set_tests_properties(layers_${name} PROPERTIES
    PASS_REGULAR_EXPRESSION "${pattern}: No such file")
endfunction()
