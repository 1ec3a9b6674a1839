# Builds a target that must fail, and checks that it failed for the right reason.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
    message(FATAL_ERROR "${TARGET} compiled, but engine code must not see desktop headers")
endif()
if(NOT output MATCHES "engine code must not use QtGui")
    message(FATAL_ERROR "${TARGET} failed for another reason:\n${output}")
endif()
message(STATUS "desktop headers are refused in engine code")
