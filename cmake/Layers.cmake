# The core is one static library a folder, quorvel_<folder>, linking only the folders below it:
# a call upward then finds no definition when the library is linked whole with what it declares,
# and an include upward is named by the include check (tests/layers checks every one both ways).
# The folders from the lowest up; the root CMakeLists.txt adds them in this order.
set(QUORVEL_LAYER_ORDER text platform res mempoint glorie convert places datum readings formats pipeline app)
#   quorvel_layer(NAME [BELOW layer...] [SOURCES file...])
# takes the folder's *.cpp besides SOURCES; BELOW names the layers it may include and call, each
# one before it in QUORVEL_LAYER_ORDER.
function(quorvel_layer name)
    cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "BELOW;SOURCES")
    get_property(defined GLOBAL PROPERTY QUORVEL_LAYERS)
    foreach(below IN LISTS layer_BELOW)
        if(NOT below IN_LIST defined)
            message(FATAL_ERROR "${name} declares ${below} below it, but ${below} is not before it in QUORVEL_LAYER_ORDER")
        endif()
    endforeach()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_library(quorvel_${name} STATIC ${sources} ${layer_SOURCES})
    target_include_directories(quorvel_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    foreach(below IN LISTS layer_BELOW)
        target_link_libraries(quorvel_${name} PUBLIC quorvel_${below})
    endforeach()
    quorvel_warnings(quorvel_${name})
    set_property(GLOBAL APPEND PROPERTY QUORVEL_LAYERS ${name})
    set_property(GLOBAL PROPERTY QUORVEL_LAYER_BELOW_${name} ${layer_BELOW})
endfunction()
