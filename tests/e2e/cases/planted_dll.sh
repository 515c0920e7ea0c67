# DLLs planted beside setup.exe under names that the loader loads (lz32.dll,
# bzip2arc.dll) are not loaded from there.

run_case() {
  # Wine takes its own lz32 for that name wherever a file of it lies; make it
  # prefer a file as Windows does, or the case would prove nothing.
  E2E_DLL_OVERRIDES="lz32=n,b"
  local medium=$E2E_CASE_DIR/medium control=$E2E_CASE_DIR/control
  mkdir -p "$control" && cp "$E2E_PLANTED" "$control/lz32.dll"
  e2e_wine regsvr32 /s "$(e2e_winpath "$control/lz32.dll")"
  e2e_check "control: the planted DLL, when loaded, leaves its marker" test -f "$control/lz32.dll.loaded"

  e2e_demo_medium "$medium" 4M
  cp "$E2E_PLANTED" "$medium/lz32.dll"
  cp "$E2E_PLANTED" "$medium/bzip2arc.dll"
  e2e_run_setup "$medium"
  e2e_check "no planted DLL loaded" test -z "$(ls "$medium" | grep '\.loaded$')"
  e2e_check_files "$E2E_REPORT"
  e2e_check "temporary folder empty" e2e_temp_is_empty
}
