# Writes TOOL's manual page (TOOL --manual-page) to PAGE and PAGE.gz; fails if
# the tool or gzip does.
execute_process(COMMAND ${TOOL} --manual-page OUTPUT_FILE ${PAGE}.part RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${PAGE}.part)
  message(FATAL_ERROR "${TOOL} --manual-page: exit ${status}")
endif()
file(RENAME ${PAGE}.part ${PAGE})
# PAGE.gz beside it, with no name or time stamp inside.
execute_process(COMMAND gzip -9n -c ${PAGE} OUTPUT_FILE ${PAGE}.gz RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${PAGE}.gz)
  message(FATAL_ERROR "gzip ${PAGE}: exit ${status}")
endif()
