# What the page's core links and makes, set up before the core's folders are added (the root
# CMakeLists.txt includes this for the web build): libraries the core links are built for
# WebAssembly from Debian's sources by scripts/web-deps.sh (scripts/deps.sh web).
set(QUORVEL_WEB_DEPS "${PROJECT_SOURCE_DIR}/build/web-deps/prefix" CACHE PATH "Libraries built with emcc by scripts/web-deps.sh")
quorvel_require_deps(PREFIX ${QUORVEL_WEB_DEPS} SCRIPT scripts/web-deps.sh COMMAND "scripts/deps.sh web"
    FILES lib/libpugixml.a lib/libz.a lib/libminizip.a lib/libmecab.a)
set(pugixml_DIR ${QUORVEL_WEB_DEPS}/lib/cmake/pugixml CACHE PATH "" FORCE)
# KMZ: zlib's minizip and zlib, found here since the toolchain searches emscripten's tree only.
set(MINIZIP_LIBRARY ${QUORVEL_WEB_DEPS}/lib/libminizip.a CACHE FILEPATH "" FORCE)
set(ZLIB_STATIC_LIBRARY ${QUORVEL_WEB_DEPS}/lib/libz.a CACHE FILEPATH "" FORCE)
set(MINIZIP_INCLUDE_DIR ${QUORVEL_WEB_DEPS}/include CACHE PATH "" FORCE)

# nlohmann-json is header-only; its folder is given alone, since /usr/include also holds the
# host's C library, which must not shadow emscripten's.
set(web_include ${CMAKE_BINARY_DIR}/web-include)
file(MAKE_DIRECTORY ${web_include} ${CMAKE_BINARY_DIR}/web-cmake)
if(NOT EXISTS ${web_include}/nlohmann)
    file(CREATE_LINK /usr/include/nlohmann ${web_include}/nlohmann SYMBOLIC)
endif()
file(WRITE ${CMAKE_BINARY_DIR}/web-cmake/nlohmann_jsonConfig.cmake
    "if(NOT TARGET nlohmann_json::nlohmann_json)\n"
    "  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)\n"
    "  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${web_include})\n"
    "endif()\n")
set(nlohmann_json_DIR ${CMAKE_BINARY_DIR}/web-cmake CACHE PATH "" FORCE)

# The datum grid is made by a tool of the build machine: a native build of that tool alone, brought
# up to date at every configure (ninja does nothing when it is).
set(host_build ${CMAKE_BINARY_DIR}/host)
set(host_tool ${host_build}/tools/quorvel-grid-compact)
if(NOT EXISTS ${host_build}/CMakeCache.txt)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=CC --unset=CXX --unset=EMSDK
        ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${host_build} -G Ninja -DCMAKE_BUILD_TYPE=Release
        -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_QT=OFF -DQUORVEL_BUILD_BENCH=OFF -DQUORVEL_WITH_MECAB=OFF
        OUTPUT_QUIET RESULT_VARIABLE host_configured)
    if(NOT host_configured EQUAL 0)
        message(FATAL_ERROR "the native build of the grid tool could not be configured in ${host_build}")
    endif()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${host_build} --target quorvel-grid-compact
    OUTPUT_QUIET RESULT_VARIABLE host_built)
if(NOT host_built EQUAL 0)
    message(FATAL_ERROR "the native grid tool could not be built in ${host_build}")
endif()
add_executable(quorvel-grid-compact IMPORTED GLOBAL)
set_target_properties(quorvel-grid-compact PROPERTIES IMPORTED_LOCATION ${host_tool} CROSSCOMPILING_EMULATOR "")

set(QUORVEL_WITH_MECAB ON CACHE BOOL "" FORCE)  # with its dictionary beside the page (quorvel-readings.js, .bin)
