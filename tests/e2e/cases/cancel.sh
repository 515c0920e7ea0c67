# Cancel clicked with the mouse during a slow extraction: the dialog closes,
# the error box follows, Setup.bin never starts and nothing stays behind.

run_case() {
  local medium=$E2E_CASE_DIR/medium report=$E2E_CASE_DIR/report.txt dialog left top right bottom
  e2e_random_file "$E2E_CASE_DIR/media.dat" $((40 << 20)) 2
  # Setup.bin first: it is out of the set when Cancel comes, past 50%.
  e2e_make_set "$medium" "$E2E_BIN/Setup.bin" "$E2E_CASE_DIR/media.dat"
  cp "$E2E_BIN/setup.exe" "$medium/"
  e2e_start_loader "$medium/setup.exe" "/report=$(e2e_winpath "$report")"
  dialog=$(e2e_probe dialog --min-pos 60 --timeout 30000) || e2e_fail "no progress dialog"
  read -r left top right bottom <<<"$(e2e_value cancel <<<"$dialog")"
  xdotool mousemove $(((left + right) / 2)) $(((top + bottom) / 2)) click 1
  e2e_log "clicked Cancel with the bar at $(e2e_value pos <<<"$dialog")%"
  e2e_check "the dialog closes" e2e_probe dialog-gone --timeout 5000
  e2e_expect_box "$E2E_ERROR_CAPTION" "Could not call decompression functions!"
  e2e_expect_exit_zero 10
  e2e_check "Setup.bin never started" test ! -e "$report"
  e2e_check "temporary folder empty" e2e_temp_is_empty
}
