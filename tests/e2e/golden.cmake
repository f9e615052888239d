# The start-up golden cases (tests/golden/cases/startup-*) played on the real
# supervisor: one test per case folder, so a new case runs here without a
# line more. A case that cannot run on real Win32 is named, with its reason,
# in tests/golden/wine-skips.txt and reported as skipped.
file(GLOB golden_startup_cases LIST_DIRECTORIES true CONFIGURE_DEPENDS
  RELATIVE ${PROJECT_SOURCE_DIR}/tests/golden/cases
  ${PROJECT_SOURCE_DIR}/tests/golden/cases/startup-*)
list(SORT golden_startup_cases)
foreach(golden_case ${golden_startup_cases})
  if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/tests/golden/cases/${golden_case})
    hailwatch_e2e_test(e2e_golden_${golden_case} golden_startup.sh ${golden_case})
    set_property(TEST e2e_golden_${golden_case} PROPERTY SKIP_RETURN_CODE 77)
  endif()
endforeach()
