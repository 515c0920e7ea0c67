# setup1.lib missing: the disk prompt comes (again after OK without the
# disk); the volume is put in place, Enter pressed, and setup completes.

run_case() {
  local medium=$E2E_CASE_DIR/medium extra
  e2e_random_data $((384 << 10)) 3
  extra=$E2E_DATA
  mkdir -p "$E2E_CASE_DIR/inputs"
  cp "$extra" "$E2E_CASE_DIR/inputs/extra.dat"
  e2e_demo_medium "$medium" 160K "$E2E_CASE_DIR/inputs/extra.dat"
  [ "$(e2e_volume_count "$medium")" -ge 3 ] || e2e_fail "expected 3 or more volumes"
  mkdir -p "$E2E_CASE_DIR/drawer"
  mv "$medium/setup1.lib" "$E2E_CASE_DIR/drawer/"

  local report=$E2E_CASE_DIR/report.txt
  e2e_start_loader "$medium/setup.exe" "/report=$(e2e_winpath "$report")"
  e2e_expect_box "$E2E_DISK_CAPTION" "Please insert disk no. #1!" ok
  local first=$E2E_BOX_WINDOW
  e2e_expect_box "$E2E_DISK_CAPTION" "Please insert disk no. #1!" none "$first"
  e2e_log "ok: the prompt came back without the disk (box $first, then $E2E_BOX_WINDOW)"

  mv "$E2E_CASE_DIR/drawer/setup1.lib" "$medium/"
  xdotool key Return
  e2e_log "setup1.lib in place, Enter pressed"
  local out
  out=$(e2e_probe box-gone --caption "$E2E_DISK_CAPTION" --timeout 5000) ||
    { echo "$out"; e2e_fail "Enter did not close the prompt"; }

  e2e_wait_file "$report" 30
  e2e_expect_exit_zero 10
  { e2e_expected_runtime; e2e_expected_payload; e2e_expected_file "$extra" extra.dat; } |
    e2e_check_report_files "$report"
  e2e_check "temporary folder empty" e2e_temp_is_empty
}
