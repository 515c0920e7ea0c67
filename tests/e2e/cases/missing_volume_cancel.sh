# No disk to insert: Cancel in the disk prompt ends the set-up through the
# Cancel path (the dialog closes, the error box follows, Setup.bin never
# starts, nothing stays behind), and so does a Cancel clicked in the dialog
# while the prompt is up, once the prompt is dismissed with OK.

run_case() {
  local medium=$E2E_CASE_DIR/medium report=$E2E_CASE_DIR/report.txt prompt="Please insert disk no. #1!"
  e2e_random_file "$E2E_CASE_DIR/extra.dat" $((384 << 10)) 3
  e2e_demo_medium "$medium" 160K "$E2E_CASE_DIR/extra.dat"
  mv "$medium/setup1.lib" "$E2E_CASE_DIR/"

  e2e_log "-- Cancel in the prompt"
  e2e_start_loader "$medium/setup.exe" "/report=$(e2e_winpath "$report")"
  e2e_expect_box "Insert next disk" "$prompt" cancel
  cancelled_run

  e2e_log "-- Cancel in the dialog while the prompt is up, then OK in the prompt"
  e2e_start_loader "$medium/setup.exe" "/report=$(e2e_winpath "$report")"
  e2e_expect_box "Insert next disk" "$prompt" none
  e2e_probe dialog --press cancel >/dev/null || e2e_fail "no Cancel button to press"
  e2e_expect_box "Insert next disk" "$prompt"
  cancelled_run
}

# What a cancelled set-up leaves: no dialog, no other prompt, the error box,
# exit code 0, no Setup.bin run, an empty temporary folder.
cancelled_run() {
  e2e_check "the dialog closes" e2e_probe dialog-gone --timeout 5000
  e2e_expect_box "$E2E_ERROR_CAPTION" "Could not call decompression functions!"
  e2e_expect_exit_zero 10
  e2e_check "Setup.bin never started" test ! -e "$report"
  e2e_check "temporary folder empty" e2e_temp_is_empty
}
