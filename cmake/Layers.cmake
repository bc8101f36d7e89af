# The core is one static library a folder, quorvel_<folder>, linking only the folders below it:
# a call upward then finds no definition when the library is linked whole with what it declares
# (tests/layers checks every one that way).
#   quorvel_layer(NAME [BELOW layer...] [SOURCES file...])
# takes the folder's *.cpp besides SOURCES; BELOW names the layers it may call.
function(quorvel_layer name)
    cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "BELOW;SOURCES")
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_library(quorvel_${name} STATIC ${sources} ${layer_SOURCES})
    target_include_directories(quorvel_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    foreach(below IN LISTS layer_BELOW)
        target_link_libraries(quorvel_${name} PUBLIC quorvel_${below})
    endforeach()
    quorvel_warnings(quorvel_${name})
    set_property(GLOBAL APPEND PROPERTY QUORVEL_LAYERS ${name})
endfunction()
