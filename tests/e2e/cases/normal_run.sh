# A normal run over an enciphered three-volume set with a patch record: the
# dialog as drawn (screenshot kept), the command line that Setup.bin gets,
# the files it finds, and the folder gone about 2 s after Setup.bin ends.

# Big enough to keep the dialog up for a screenshot, cut into three volumes.
NORMAL_MEDIA_SIZE=$((20 << 20))
NORMAL_VOLUME_SIZE=7M

run_case() {
  local medium=$E2E_CASE_DIR/medium media
  e2e_random_data "$NORMAL_MEDIA_SIZE" 1
  media=$E2E_DATA
  mkdir -p "$E2E_CASE_DIR/inputs"
  cp "$media" "$E2E_CASE_DIR/inputs/media.dat"
  e2e_demo_medium "$medium" "$NORMAL_VOLUME_SIZE" "$E2E_CASE_DIR/inputs/media.dat"
  [ "$(e2e_volume_count "$medium")" = 3 ] || e2e_fail "expected 3 volumes, got $(ls "$medium")"
  "$E2E_ARCSET" list "$medium" | grep -qi 'encipher' || e2e_fail "the directory is not enciphered"
  e2e_log "medium: $(cd "$medium" && ls -s --block-size=K | tr '\n' ' ')"

  local report=$E2E_CASE_DIR/report.txt report_win medium_win
  report_win=$(e2e_winpath "$report")
  medium_win=$(e2e_winpath "$medium")
  e2e_start_loader "$medium/setup.exe" "/report=$report_win" "two words"

  # The dialog, mid-extraction: the bar moves by whole records, and media.dat
  # comes after Setup.bin and the payload, with the patch record after it.
  local payload records dialog
  payload=$(find "$(e2e_payload_files)" -maxdepth 1 -type f | wc -l)
  records=$((payload + 3))
  dialog=$(e2e_probe dialog --min-pos $(((payload + 1) * 100 / records + 1)) --timeout 20000) || { echo "$dialog"; e2e_fail "no progress dialog"; }
  e2e_screenshot e2e-normal-run-dialog.png
  local after
  after=$(e2e_probe dialog --timeout 0 2>/dev/null) || e2e_fail "the dialog closed before the screenshot was taken"
  e2e_log "dialog at $(e2e_value dialog.control.123.pos <<<"$dialog")% before and $(e2e_value dialog.control.123.pos <<<"$after")% after the screenshot"
  check_dialog "$dialog"

  # Setup.bin writes its report and ends; the loader notices on its next try.
  e2e_wait_file "$report" 60
  local written gone
  written=$(e2e_now)
  e2e_log "report written $(e2e_elapsed "$E2E_LOADER_STARTED" "$written") s after the start"
  e2e_wait_gone "$E2E_TEMP_UNIX/CV0" 10
  gone=$E2E_GONE_AT
  E2E_REMOVAL_DELAY=$(e2e_elapsed "$written" "$gone")
  e2e_log "folder removal delay: $E2E_REMOVAL_DELAY s after Setup.bin ended"
  awk -v d="$E2E_REMOVAL_DELAY" 'BEGIN { exit !(d >= 1.0 && d <= 3.5) }' ||
    e2e_fail "the folder went $E2E_REMOVAL_DELAY s after Setup.bin ended, expected about 2 s"
  e2e_expect_exit_zero 10
  cp "$report" "$E2E_ARTIFACTS/e2e-normal-run-report.txt"

  local temp=$E2E_TEMP_WIN\\CV0
  local expected="\"$temp\\Setup.bin\" \"$temp\" \"$medium_win\"  \"/report=$report_win\" \"two words\""
  local line
  line=$(e2e_report_value "$report" "Command line")
  if [ "$line" != "[$expected]" ]; then
    printf 'expected: [%s]\nreported: %s\n' "$expected" "$line"
    e2e_fail "Setup.bin got another command line"
  fi
  e2e_log "ok: command line [$expected]"
  e2e_check "show command SW_HIDE" test "$(e2e_report_value "$report" "Show command")" = "0 (SW_HIDE)"
  e2e_check "argument 4 is 'two words'" test "$(e2e_report_value "$report" "Argument 4")" = "[two words]"
  { e2e_expected_runtime; e2e_expected_payload; e2e_expected_file "$media" media.dat; } |
    e2e_check_report_files "$report"
  e2e_check "temporary folder empty" e2e_temp_is_empty
}

check_dialog() {
  local dialog=$1 key value
  while IFS='|' read -r key value; do
    [ "$(e2e_value "$key" <<<"$dialog")" = "$value" ] ||
      { echo "$dialog"; e2e_fail "dialog: $key is '$(e2e_value "$key" <<<"$dialog")', expected '$value'"; }
  done <<EOT
dialog.class|#32770
dialog.caption|
dialog.visible|1
dialog.control.2.text|Cancel
dialog.control.2.style|0x50010000
dialog.control.123.class|msctls_progress32
dialog.control.102.text|$E2E_DIALOG_TEXT
dialog.control.102.style|0x50020001
EOT
  e2e_log "ok: dialog without caption, with Cancel, progress bar and text"
}
