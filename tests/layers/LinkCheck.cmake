# Builds TARGET in BUILD_DIR; EXPECT "links" wants it built, "fails" wants the link to stop on an
# undefined SYMBOL (not on anything else, such as a compile error).
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
string(REGEX MATCHALL "[^\n]*undefined (reference to|symbol:)[ \n]*[^\n]*" undefined "${output}")
if(EXPECT STREQUAL "links")
    if(NOT status EQUAL 0)
        list(JOIN undefined "\n" undefined)
        message(FATAL_ERROR "${TARGET} did not link with only the layers below it:\n${undefined}\n${output}")
    endif()
elseif(status EQUAL 0)
    message(FATAL_ERROR "${TARGET} linked, though it calls ${SYMBOL} in a layer it does not link")
elseif(NOT output MATCHES "undefined (reference to .|symbol: )${SYMBOL}")
    message(FATAL_ERROR "${TARGET} failed, but not on the undefined ${SYMBOL}:\n${output}")
endif()
