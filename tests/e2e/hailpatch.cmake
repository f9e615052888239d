# hailpatch check as a Win32 program under Wine: the same case folders and
# expected output as the Linux build (tests/hailpatch/cases).
hailwatch_e2e_test(e2e_hailpatch_check ../hailpatch/check_cases.sh wine $<TARGET_FILE:hailpatch>)
# A case-only rename made by hailpatch make, applied by the real supervisor.
hailwatch_e2e_test(e2e_update_case_rename update_case_rename.sh)
# hailpatch.exe's make, keygen and sign beside the Linux build's, which the
# host preset makes (test-all.sh builds it first).
if(DEFINED ENV{HAILWATCH_HOST_DIR})
  set(linux_hailpatch_default $ENV{HAILWATCH_HOST_DIR}/tools/hailpatch/hailpatch)
else()
  set(linux_hailpatch_default ${PROJECT_SOURCE_DIR}/build/host/tools/hailpatch/hailpatch)
endif()
set(HAILWATCH_LINUX_HAILPATCH ${linux_hailpatch_default} CACHE FILEPATH
  "The Linux hailpatch that hailpatch.exe is held to")
hailwatch_e2e_test(e2e_hailpatch_cross_build ../hailpatch/cross_build.sh
  ${HAILWATCH_LINUX_HAILPATCH} $<TARGET_FILE:hailpatch>)
set_tests_properties(e2e_hailpatch_cross_build PROPERTIES TIMEOUT 300)
