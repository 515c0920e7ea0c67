# Folders named in scripts that the system's code page (1252 in the prefix)
# lacks: a temporary path with Polish and Cyrillic names, and a medium in a
# Cyrillic folder, both reached through their short 8.3 names; and a medium
# of several volumes in a folder whose own name holds "%d".

run_case() {
  local temp=$E2E_CASE_DIR/łódź/временно medium=$E2E_CASE_DIR/установка
  mkdir -p "$temp"
  e2e_demo_medium "$E2E_CASE_DIR/medium" 4M
  E2E_LOADER_TEMP=$(e2e_winpath "$temp")
  e2e_run_setup "$E2E_CASE_DIR/medium"
  e2e_check_files "$E2E_REPORT"
  local folder
  folder=$(e2e_report_value "$E2E_REPORT" Folder)
  e2e_check "Setup.bin ran in the short form of the temporary path: $folder" test "${folder#*\~}" != "$folder"
  e2e_check "in its folder CV0" test "${folder%\\CV0]}" != "$folder"
  e2e_check "that temporary path empty" test -z "$(ls -A "$temp")"
  unset E2E_LOADER_TEMP

  e2e_demo_medium "$medium" 4M
  e2e_run_setup "$medium"
  e2e_check_files "$E2E_REPORT"
  e2e_check "temporary folder empty" e2e_temp_is_empty

  medium="$E2E_CASE_DIR/50%d off"
  e2e_demo_medium "$medium" 40K
  e2e_check "three or more volumes" test -f "$medium/setup2.lib"
  e2e_run_setup "$medium"
  e2e_check_files "$E2E_REPORT"
  e2e_check "temporary folder empty" e2e_temp_is_empty
}
