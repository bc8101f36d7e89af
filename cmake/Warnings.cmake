function(quorvel_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${QUORVEL_WARNINGS_AS_ERRORS}>:/WX>)
    else()
        # -Wconversion as GCC has it: clang's also takes in -Wsign-conversion, which GCC keeps apart.
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wconversion
            $<$<CXX_COMPILER_ID:Clang>:-Wno-sign-conversion>
            $<$<BOOL:${QUORVEL_WARNINGS_AS_ERRORS}>:-Werror>)
    endif()
endfunction()
