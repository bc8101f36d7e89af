function(quorvel_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${QUORVEL_WARNINGS_AS_ERRORS}>:/WX>)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
            $<$<BOOL:${QUORVEL_WARNINGS_AS_ERRORS}>:-Werror>)
    endif()
endfunction()
