# Writes TOOL's manual page (TOOL --manual-page) to PAGE; fails if the tool does.
execute_process(COMMAND ${TOOL} --manual-page OUTPUT_FILE ${PAGE}.part RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${PAGE}.part)
  message(FATAL_ERROR "${TOOL} --manual-page: exit ${status}")
endif()
file(RENAME ${PAGE}.part ${PAGE})
