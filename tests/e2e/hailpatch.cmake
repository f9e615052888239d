# hailpatch check as a Win32 program under Wine: the same case folders and
# expected output as the Linux build (tests/hailpatch/cases).
hailwatch_e2e_test(e2e_hailpatch_check ../hailpatch/check_cases.sh wine $<TARGET_FILE:hailpatch>)
# A case-only rename made by hailpatch make, applied by the real supervisor.
hailwatch_e2e_test(e2e_update_case_rename update_case_rename.sh)
