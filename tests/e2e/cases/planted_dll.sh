# DLLs planted beside setup.exe under names the loader would otherwise load
# (lz32.dll, bzip2arc.dll) are not loaded.

run_case() {
  # Wine takes its own lz32 for that name wherever the file lies; make it
  # prefer a file as Windows does, or the test would prove nothing.
  E2E_DLL_OVERRIDES="lz32=n,b"

  # The planted DLL does leave its marker when something loads it.
  local control=$E2E_CASE_DIR/control
  mkdir -p "$control"
  cp "$E2E_PLANTED" "$control/lz32.dll"
  e2e_probe load "$(e2e_winpath "$control/lz32.dll")" >/dev/null || e2e_fail "the planted DLL does not load at all"
  [ -f "$control/lz32.dll.loaded" ] || e2e_fail "the planted DLL leaves no marker"
  e2e_log "ok: control: loading the planted DLL leaves a marker"

  local medium=$E2E_CASE_DIR/medium
  e2e_demo_medium "$medium" 4M
  cp "$E2E_PLANTED" "$medium/lz32.dll"
  cp "$E2E_PLANTED" "$medium/bzip2arc.dll"
  local report=$E2E_CASE_DIR/report.txt
  e2e_start_loader "$medium/setup.exe" "/report=$(e2e_winpath "$report")"
  e2e_wait_file "$report" 30
  e2e_expect_exit_zero 10
  local markers
  markers=$(cd "$medium" && ls ./*.loaded 2>/dev/null)
  [ -z "$markers" ] || e2e_fail "planted DLLs were loaded: $markers ($(cat "$medium"/*.loaded | tr '\0' ' '))"
  e2e_log "ok: neither lz32.dll nor bzip2arc.dll beside setup.exe was loaded"
  { e2e_expected_runtime; e2e_expected_payload; } | e2e_check_report_files "$report"
  e2e_check "temporary folder empty" e2e_temp_is_empty
}
