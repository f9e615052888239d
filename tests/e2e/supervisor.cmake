# The watchdog, the build-option report and an ignition cycle with the real
# processes: hailwatch.exe, the sibling stand-ins and hailctl. Each scenario
# has its own prefix and device root, so they run side by side.
hailwatch_e2e_test(supervisor_watchdog supervisor_watchdog.sh)
hailwatch_e2e_test(supervisor_build_option supervisor_build_option.sh)
hailwatch_e2e_test(supervisor_ignition supervisor_ignition.sh)
set_tests_properties(supervisor_ignition PROPERTIES COST 40)  # the longest: start it first
