# hailog on a device folder with two hours of logs: the earlier hour first,
# each under its name, Korean decoded from 949, CR LF made LF; a last line
# that has no line end yet is shown as it is, said on standard error, and
# makes the exit status 1.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/dev/ResidentFlash/Log)
string(ASCII 13 CR)
# C4 DD is the call application's "콜" in code page 949.
string(ASCII 196 221 CALL_949)
file(WRITE ${WORK}/dev/ResidentFlash/Log/hailwatch-2026120810.log "00:01 [K] <I> ${CALL_949} second hour${CR}\n")
file(WRITE ${WORK}/dev/ResidentFlash/Log/hailwatch-2026120809.log "59:58 [K] <I> first hour${CR}\n59:59 [K] <I> partial")
execute_process(COMMAND ${HAILOG} ${WORK}/dev OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
set(expected "== hailwatch-2026120809.log\n59:58 [K] <I> first hour\n59:59 [K] <I> partial\n== hailwatch-2026120810.log\n00:01 [K] <I> 콜 second hour\n")
set(expected_err "hailog: hailwatch-2026120809.log: the last line has no line end (cut while it was written); shown as it is\n")
if(NOT rc EQUAL 1 OR NOT out STREQUAL expected OR NOT err STREQUAL expected_err)
  message(FATAL_ERROR "hailog gave (rc ${rc}):\n${out}\nstderr:\n${err}\nexpected (rc 1):\n${expected}\nstderr:\n${expected_err}")
endif()
