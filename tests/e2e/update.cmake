# The start-up update under Wine: a real package applied by the real
# supervisor, with sibling stand-ins running.
hailwatch_e2e_test(e2e_update_startup update_startup.sh)
hailwatch_e2e_test(e2e_update_failed_copy update_failed_copy.sh)
hailwatch_e2e_test(e2e_update_safety update_safety.sh)
hailwatch_e2e_test(e2e_update_unreadable_list update_unreadable_list.sh)
hailwatch_e2e_test(e2e_update_kept_refill update_kept_refill.sh)
hailwatch_e2e_test(e2e_update_own_files update_own_files.sh)
# A new modem application that ends at once: taken back on a terminal that
# asks for it (also with the power cut during the rollback), restarted for
# ever on one that does not.
hailwatch_e2e_test(e2e_update_rollback update_rollback.sh opted-in)
hailwatch_e2e_test(e2e_update_rollback_cut update_rollback.sh cut)
hailwatch_e2e_test(e2e_update_rollback_opted_out update_rollback.sh opted-out)
# Signed packages need the Linux hailpatch for the key and the signature.
hailwatch_e2e_test(e2e_update_signed update_signed.sh)
hailwatch_e2e_test(e2e_update_card_holder update_card_holder.sh)
set_property(TEST e2e_update_signed e2e_update_card_holder APPEND PROPERTY ENVIRONMENT
  "HAILPATCH_HOST=${PROJECT_SOURCE_DIR}/build/host/tools/hailpatch/hailpatch")
