# Paths too long for what the "A" functions and LZ32 take as they stand. A
# loader more than 260 characters deep runs its own set through the short
# 8.3 form of its folder, never the set of the folder in which its cut path
# would end; where even the short form is too long, it says so. A temporary
# path of 111 characters and more (LZ32 opens files by name only up to 128)
# works. Under Wine such a loader can only be started by its Unix path (on
# Windows it takes the "\\?\" form): the case proves what the loader makes of
# a module path over 260 characters, not how Windows starts one.

run_case() {
  local deep=$E2E_CASE_DIR flat=$E2E_CASE_DIR/flat win cut decoy i
  for i in 1 2 3 4 5 6; do deep+="/Folder $i, whose name is far longer than 8.3"; done
  echo "the right set" >"$E2E_CASE_DIR/deep.txt"
  e2e_demo_medium "$deep" 4M "$E2E_CASE_DIR/deep.txt"
  win=$(e2e_winpath "$deep/setup.exe")
  e2e_check "the loader's path has ${#win} characters, more than 260" test ${#win} -gt 260
  # Where a loader that cut its path at 260 characters looked for its set.
  cut=${win:0:260}
  decoy=$(e2e_unixpath "${cut%\\*}")
  echo "a set that must not run" >"$E2E_CASE_DIR/decoy.txt"
  e2e_make_set "$decoy" "$E2E_BIN/Setup.bin" "$E2E_CASE_DIR/decoy.txt"
  e2e_run_setup "$deep"
  e2e_check_files "$E2E_REPORT" "$E2E_CASE_DIR/deep.txt"
  local loaderDir
  loaderDir=$(e2e_report_lines "$E2E_REPORT" | sed -n 's/^Argument 2: \[\(.*\)\]$/\1/p')
  e2e_check "Setup.bin got the loader's folder in its short form: $loaderDir" test "${loaderDir#*\~}" != "$loaderDir"
  e2e_check "temporary folder empty" e2e_temp_is_empty

  # Names of eight characters all the way: no shorter form exists.
  for ((i = 0; ${#flat} - ${#E2E_PREFIX} < 280; i++)); do flat+=/d$((1000000 + i)); done
  e2e_demo_medium "$flat" 4M
  e2e_start_loader "$flat/setup.exe"
  e2e_expect_box "$E2E_ERROR_CAPTION" "The path of the setup program's folder is too long!"
  e2e_expect_exit_zero 10
  e2e_check "temporary folder empty" e2e_temp_is_empty

  local temp=$E2E_CASE_DIR/temp-$(printf '%0100d' 0)
  mkdir -p "$temp"
  e2e_demo_medium "$E2E_CASE_DIR/medium" 4M
  E2E_LOADER_TEMP=$(e2e_winpath "$temp")
  e2e_check "a temporary path of ${#E2E_LOADER_TEMP} characters, more than 110" test ${#E2E_LOADER_TEMP} -gt 110
  e2e_run_setup "$E2E_CASE_DIR/medium"
  e2e_check "Setup.bin ran in that temporary path" \
    test "$(e2e_report_value "$E2E_REPORT" Folder)" = "[$E2E_LOADER_TEMP\\CV0]"
  e2e_check_files "$E2E_REPORT"
  e2e_check "that temporary path empty" test -z "$(ls -A "$temp")"
  unset E2E_LOADER_TEMP
}
