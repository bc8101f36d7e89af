# Libraries built from Debian's sources by a script of scripts/ (run by scripts/deps.sh, never by
# configure): configure stops, naming the command, when PREFIX lacks one of FILES or the stamp the
# script leaves (its own digest) is missing or from another version of it.
#   quorvel_require_deps(PREFIX dir SCRIPT scripts/x.sh COMMAND "scripts/deps.sh y" FILES f...)
function(quorvel_require_deps)
    cmake_parse_arguments(PARSE_ARGV 0 deps "" "PREFIX;SCRIPT;COMMAND" "FILES")
    file(SHA256 ${PROJECT_SOURCE_DIR}/${deps_SCRIPT} digest)
    set(stamp "")
    if(EXISTS ${deps_PREFIX}/deps.stamp)
        file(STRINGS ${deps_PREFIX}/deps.stamp stamp LIMIT_COUNT 1)
    endif()
    set(missing "")
    foreach(file IN LISTS deps_FILES)
        if(NOT EXISTS ${deps_PREFIX}/${file})
            list(APPEND missing ${file})
        endif()
    endforeach()
    if(missing)
        list(JOIN missing ", " missing)
        message(FATAL_ERROR "${deps_PREFIX} lacks ${missing}: run ${deps_COMMAND}")
    elseif(NOT stamp STREQUAL digest)
        message(FATAL_ERROR "${deps_PREFIX} was not made by this ${deps_SCRIPT}: run ${deps_COMMAND}")
    endif()
    # A changed script configures again, and so names the command at once.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/${deps_SCRIPT} ${deps_PREFIX}/deps.stamp)
endfunction()
