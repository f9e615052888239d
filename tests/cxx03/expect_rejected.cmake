# cmake -DBUILD_DIR=DIR -DTARGET=T -DEXPECT=REGEX -P expect_rejected.cmake
# Passes when building T in DIR fails with a message matching REGEX; a build
# that succeeds, or fails for another reason, is a failure of the check.
foreach(var BUILD_DIR TARGET EXPECT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "expect_rejected: ${var} not given")
  endif()
endforeach()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "${TARGET} built: the core's language check let the construct through\n${output}")
endif()
if(NOT output MATCHES "${EXPECT}")
  message(FATAL_ERROR "${TARGET} failed, but not on the construct (no match for '${EXPECT}'):\n${output}")
endif()
message(STATUS "${TARGET} refused, as the device's compiler would")
