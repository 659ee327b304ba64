# Each layer's headers are reached as "<folder>/File.h" through an include root of its own in the
# build tree, which holds only a link to src/<folder>. A target therefore sees the headers of the
# layers it links and no others, and an include against the direction of the layers fails to
# compile instead of linking silently.

# wavelark_layer_include_root(<target> <folder> <PUBLIC|PRIVATE>)
function(wavelark_layer_include_root target folder scope)
    set(root ${CMAKE_BINARY_DIR}/layers/${target})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
    target_include_directories(${target} ${scope} ${root})
endfunction()

# wavelark_add_layer(<target> <folder> [LINKS <targets...>])
# One static library per layer, linking the layers (and libraries) it builds on.
function(wavelark_add_layer target folder)
    cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
    add_library(${target} STATIC)
    wavelark_layer_include_root(${target} ${folder} PUBLIC)
    target_link_libraries(${target} PUBLIC wavelark_settings ${ARG_LINKS})
    target_link_libraries(${target} PRIVATE wavelark_source_rules)
endfunction()
