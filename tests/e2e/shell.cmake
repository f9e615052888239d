# The application shell under Wine: one copy per device, the banners in the
# hour's file, and log control and WM_DESTROY from another process (hailctl).
hailwatch_e2e_test(e2e_shell_lifecycle shell_lifecycle.sh)
hailwatch_e2e_test(e2e_shell_buffered shell_buffered.sh)
hailwatch_e2e_test(e2e_shell_reload shell_reload.sh)
