# A normal run over an enciphered set of three volumes with a patch record:
# the dialog mid-extraction (screenshot kept), the exact command line that
# Setup.bin gets and the arguments its C runtime and CommandLineToArgvW make
# of it (one ends in a backslash), the files it finds beside it (one named
# ".hidden"), and the folder gone about 2 s after Setup.bin has ended.

run_case() {
  local medium=$E2E_CASE_DIR/medium report=$E2E_CASE_DIR/report.txt media=$E2E_CASE_DIR/media.dat
  local hidden=$E2E_CASE_DIR/.hidden
  # Big enough to keep the dialog up for a screenshot.
  e2e_random_file "$media" $((20 << 20)) 1
  echo "a name that begins with a full stop" >"$hidden"
  e2e_demo_medium "$medium" 7M "$media" "$hidden"
  e2e_check "three volumes" test "$(ls "$medium" | grep -c '^setup.\.lib$')" = 3
  e2e_check "enciphered directory" grep -qi encipher <<<"$("$E2E_ARCSET" list "$medium")"
  e2e_start_loader "$medium/setup.exe" "/report=$(e2e_winpath "$report")" "two words" 'C:\Apps\' /silent

  # The bar moves by whole records: the big one starts after Setup.bin and
  # the example files, and the patch record comes last.
  local files
  files=$(ls "$E2E_SOURCE_DIR/examples/medium/files" | wc -l)
  e2e_probe dialog --min-pos $(((files + 1) * 100 / (files + 3) + 1)) --timeout 20000 || e2e_fail "no progress dialog"
  e2e_screenshot e2e-normal-run-dialog.png
  e2e_probe dialog --timeout 0 >/dev/null || e2e_fail "the dialog closed before the screenshot was taken"

  # Setup.bin writes its report and ends; the loader notices at its next try.
  e2e_wait_file "$report" 60
  local written delay
  written=$(e2e_now)
  e2e_until 10 test ! -e "$E2E_TEMP_UNIX/CV0" || e2e_fail "the folder stayed after Setup.bin had ended"
  delay=$(e2e_elapsed "$written" "$(e2e_now)")
  e2e_check "folder gone $delay s after Setup.bin ended, about 2 s" awk "BEGIN { exit !($delay >= 1 && $delay <= 3.5 * $E2E_TIME_SCALE) }"
  e2e_expect_exit_zero
  cp "$report" "$E2E_ARTIFACTS/e2e-normal-run-report.txt"

  local temp=$E2E_TEMP_WIN\\CV0 line expected
  expected="[\"$temp\\Setup.bin\" \"$temp\" \"$(e2e_winpath "$medium")\"  \"/report=$(e2e_winpath "$report")\" \"two words\""
  expected+=" \"C:\\Apps\\\\\" \"/silent\"]"
  line=$(e2e_report_value "$report" "Command line")
  [ "$line" = "$expected" ] || e2e_fail "Setup.bin got the command line $line, expected $expected"
  e2e_log "ok: command line $line"
  e2e_check_arguments "$report" "$temp\\Setup.bin" "$temp" "$(e2e_winpath "$medium")" "/report=$(e2e_winpath "$report")" \
    "two words" 'C:\Apps\' /silent
  e2e_check "show command SW_HIDE" test "$(e2e_report_value "$report" "Show command")" = "0 (SW_HIDE)"
  e2e_check_files "$report" "$media" "$hidden"
  e2e_check "temporary folder empty" e2e_temp_is_empty
}
