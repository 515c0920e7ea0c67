# Leftovers of earlier runs under the temporary path: an empty CV0 is reused,
# a non-empty CV0 and a plain file CV0 both lead to CV1 and stay untouched.

run_case() {
  local medium=$E2E_CASE_DIR/medium
  e2e_demo_medium "$medium" 4M

  e2e_clean_temp
  mkdir "$E2E_TEMP_UNIX/CV0"
  leftover_run "empty CV0" CV0
  e2e_check "nothing left" e2e_temp_is_empty

  e2e_clean_temp
  mkdir "$E2E_TEMP_UNIX/CV0"
  echo "left by an earlier run" >"$E2E_TEMP_UNIX/CV0/keep.txt"
  leftover_run "CV0 with a file" CV1
  e2e_check "only CV0 with its file left" \
    test "$(e2e_temp_entries)" = CV0 -a -f "$E2E_TEMP_UNIX/CV0/keep.txt"

  e2e_clean_temp
  echo "a plain file" >"$E2E_TEMP_UNIX/CV0"
  leftover_run "plain file CV0" CV1
  e2e_check "only the file CV0 left" test "$(e2e_temp_entries)" = CV0 -a -f "$E2E_TEMP_UNIX/CV0"
  e2e_clean_temp
}

# leftover_run TITLE EXPECTED-FOLDER-NAME
leftover_run() {
  local title=$1 name=$2 report=$E2E_CASE_DIR/report.txt started
  rm -f "$report"
  e2e_log "-- $title"
  started=$(e2e_now)
  e2e_start_loader "$medium/setup.exe" "/report=$(e2e_winpath "$report")"
  e2e_wait_file "$report" 30
  e2e_expect_exit_zero 10
  local folder
  folder=$(e2e_report_value "$report" Folder)
  [ "$folder" = "[$E2E_TEMP_WIN\\$name]" ] || e2e_fail "$title: Setup.bin ran in $folder, expected $name"
  e2e_log "-- $title: Setup.bin ran in $name; passed in $(e2e_elapsed "$started" "$(e2e_now)") s"
}
