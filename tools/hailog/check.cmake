# hailog on a device folder with two hours of logs: the earlier hour first,
# each under its name, Korean decoded from 949, CR LF made LF, and a line
# still being written (no line end yet) held back.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/dev/ResidentFlash/Log)
string(ASCII 13 CR)
# C4 DD is the call application's "콜" in code page 949.
string(ASCII 196 221 CALL_949)
file(WRITE ${WORK}/dev/ResidentFlash/Log/hailwatch-2026120810.log "00:01 [K] <I> ${CALL_949} second hour${CR}\n")
file(WRITE ${WORK}/dev/ResidentFlash/Log/hailwatch-2026120809.log "59:58 [K] <I> first hour${CR}\n59:59 [K] <I> partial")
execute_process(COMMAND ${HAILOG} ${WORK}/dev OUTPUT_VARIABLE out RESULT_VARIABLE rc)
set(expected "== hailwatch-2026120809.log\n59:58 [K] <I> first hour\n== hailwatch-2026120810.log\n00:01 [K] <I> 콜 second hour\n")
if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
  message(FATAL_ERROR "hailog gave (rc ${rc}):\n${out}\nexpected:\n${expected}")
endif()
