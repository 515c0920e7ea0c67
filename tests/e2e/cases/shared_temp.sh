# Three loaders started at once from one medium share the temporary path:
# all three wait in the disk prompt together, then each installs from a
# folder of its own. Links planted there beforehand, one under the work
# file's old fixed name bzin.tmp and one as a leftover CV0, change nothing
# outside: the file and the folder behind them stay as they were.

run_case() {
  local medium=$E2E_CASE_DIR/medium outside=$E2E_CASE_DIR/outside prompt="Please insert disk no. #1!"
  local i pids=() folders=()
  e2e_random_file "$E2E_CASE_DIR/extra.dat" $((384 << 10)) 5
  e2e_demo_medium "$medium" 160K "$E2E_CASE_DIR/extra.dat"
  mv "$medium/setup1.lib" "$E2E_CASE_DIR/"
  mkdir -p "$outside/empty"
  echo precious >"$outside/kept.txt"
  ln -s "$outside/kept.txt" "$E2E_TEMP_UNIX/bzin.tmp"
  ln -s "$outside/empty" "$E2E_TEMP_UNIX/CV0"

  for i in 1 2 3; do
    e2e_start_loader "$medium/setup.exe" "/report=$(e2e_winpath "$E2E_CASE_DIR/report-$i.txt")"
    pids+=("$E2E_LOADER_PID")
  done
  e2e_check "three prompts at once" e2e_probe boxes --caption "Insert next disk" --count 3 --timeout 60000 \
    --press none
  mv "$E2E_CASE_DIR/setup1.lib" "$medium/"
  e2e_check "OK in each prompt" e2e_probe boxes --caption "Insert next disk" --count 3 --press ok
  for i in 1 2 3; do
    e2e_wait_file "$E2E_CASE_DIR/report-$i.txt" 60
    E2E_LOADER_PID=${pids[i - 1]}
    e2e_expect_exit_zero 30
    e2e_check_files "$E2E_CASE_DIR/report-$i.txt" "$E2E_CASE_DIR/extra.dat"
    folders+=("$(e2e_report_value "$E2E_CASE_DIR/report-$i.txt" Folder)")
  done
  e2e_log "folders: ${folders[*]}"
  e2e_check "three folders, none of them the link CV0" \
    test "$(printf '%s\n' "${folders[@]}" | grep -v '\\CV0]$' | sort -u | wc -l)" = 3
  e2e_check "the file behind bzin.tmp is untouched" test "$(cat "$outside/kept.txt")" = precious
  e2e_check "the folder behind CV0 is there and empty" test -d "$outside/empty" -a -z "$(ls -A "$outside/empty")"
  e2e_check "only the two links are left" test "$(e2e_temp_left)" = "l:CV0 l:bzin.tmp"
}
