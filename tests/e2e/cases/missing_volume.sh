# setup1.lib missing: the disk prompt asks for it, and again after OK
# without it; with the volume back in place, OK lets the set-up complete.

run_case() {
  local medium=$E2E_CASE_DIR/medium report=$E2E_CASE_DIR/report.txt prompt="Please insert disk no. #1!"
  e2e_random_file "$E2E_CASE_DIR/extra.dat" $((384 << 10)) 3
  e2e_demo_medium "$medium" 160K "$E2E_CASE_DIR/extra.dat"
  e2e_check "three or more volumes" test -f "$medium/setup2.lib"
  mv "$medium/setup1.lib" "$E2E_CASE_DIR/"
  e2e_start_loader "$medium/setup.exe" "/report=$(e2e_winpath "$report")"
  e2e_expect_box "Insert next disk" "$prompt"
  e2e_expect_box "Insert next disk" "$prompt" none "$E2E_BOX"
  mv "$E2E_CASE_DIR/setup1.lib" "$medium/"
  e2e_expect_box "Insert next disk" "$prompt"
  e2e_wait_file "$report" 30
  e2e_expect_exit_zero
  e2e_check_files "$report" "$E2E_CASE_DIR/extra.dat"
  e2e_check "temporary folder empty" e2e_temp_is_empty
}
