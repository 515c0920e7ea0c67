# Leftovers of earlier runs under the temporary path: an empty CV0 is
# reused; a CV0 with a file in it and a plain file CV0 both lead to CV1 and
# stay as they were.

run_case() {
  e2e_demo_medium "$E2E_CASE_DIR/medium" 4M
  mkdir "$E2E_TEMP_UNIX/CV0"
  leftover_run "empty CV0" CV0 ""
  mkdir "$E2E_TEMP_UNIX/CV0" && echo earlier >"$E2E_TEMP_UNIX/CV0/keep.txt"
  leftover_run "CV0 with a file" CV1 "d:CV0 f:CV0/keep.txt"
  rm -r "$E2E_TEMP_UNIX/CV0" && echo earlier >"$E2E_TEMP_UNIX/CV0"
  leftover_run "plain file CV0" CV1 "f:CV0"
}

# leftover_run TITLE FOLDER LEFT-AFTERWARDS (as e2e_temp_left gives it)
leftover_run() {
  e2e_run_setup "$E2E_CASE_DIR/medium"
  e2e_check "$1: Setup.bin ran in $2" test "$(e2e_report_value "$E2E_REPORT" Folder)" = "[$E2E_TEMP_WIN\\$2]"
  e2e_check "$1: left afterwards: [$3]" test "$(e2e_temp_left)" = "$3"
}
