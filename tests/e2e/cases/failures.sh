# Every way the set-up gives up shows the right box(es) in order, leaves no
# folder behind and ends with exit code 0.

run_case() {
  local good=$E2E_CASE_DIR/good folder call="Could not call decompression functions!"
  local extract="Could not extract decompression library!"
  e2e_demo_medium "$good" 40K
  e2e_check "three or more volumes" test -f "$good/setup2.lib"

  failure_medium no_setup0
  rm "$folder/setup0.lib"
  failure_run "setup0.lib missing" "$call"

  failure_medium corrupt_volume
  head -c 4096 /dev/zero | tr '\0' U | dd of="$folder/setup1.lib" bs=1 seek=8192 conv=notrunc status=none
  failure_run "corrupt setup1.lib" "$call"

  folder=$E2E_CASE_DIR/no_setup_bin
  e2e_make_set "$folder" "$E2E_SOURCE_DIR/examples/medium/files"
  cp "$E2E_BIN/setup.exe" "$folder/"
  # Only once the dialog is closed is Setup.bin started.
  failure_run "Setup.bin not in the set" "Could not execute main program!" "! e2e_probe dialog --timeout 0 2>/dev/null"

  failure_medium no_resource
  cp "$E2E_BIN/setup-noresource.exe" "$folder/setup.exe"
  failure_run "loader without its library" "$extract"

  failure_medium damaged_resource
  damage_resource "$folder/setup.exe"
  failure_run "damaged library resource" "$call"

  # No folder can be made under a temporary path that does not exist, so
  # its deletion fails too.
  failure_medium missing_temp
  E2E_LOADER_TEMP='C:\e2e\nowhere' failure_run "temporary path missing" "$extract" "" \
    Error "Could not delete temporary installation files!"
}

# folder: a fresh copy of the good medium, named NAME.
failure_medium() {
  folder=$E2E_CASE_DIR/$1
  mkdir -p "$folder" && cp "$E2E_CASE_DIR/good"/* "$folder/"
}

# Runs setup.exe in $folder: its error box must say MESSAGE, CHECK must hold
# while that box is up, and the boxes CAPTION TEXT must follow in order.
#   failure_run TITLE MESSAGE [CHECK [CAPTION TEXT]...]
failure_run() {
  local title=$1 message=$2 check=${3:-}
  shift $(($# < 3 ? $# : 3))
  e2e_log "-- $title"
  e2e_start_loader "$folder/setup.exe"
  e2e_expect_box "$E2E_ERROR_CAPTION" "$message" none
  [ -z "$check" ] || e2e_check "$title: $check" eval "$check"
  e2e_expect_box "$E2E_ERROR_CAPTION" "$message"
  while [ $# -ge 2 ]; do
    e2e_expect_box "$1" "$2"
    shift 2
  done
  e2e_expect_exit_zero 10
  e2e_check "$title: temporary folder empty" e2e_temp_is_empty
}

# Turns the first byte of the packed library (the "M" of its MZ header,
# after the 14 bytes of the SZDD header and the first flag byte) into "X":
# the resource still unpacks, into something that is no DLL.
damage_resource() {
  local at
  at=$(LC_ALL=C grep -obUaP 'SZDD\x88\xF0\x27\x33' "$1" | cut -d: -f1)
  [[ $at =~ ^[0-9]+$ ]] && [ "$(tail -c +$((at + 16)) "$1" | head -c 1)" = M ] || e2e_fail "no SZDD data in $1"
  printf X | dd of="$1" bs=1 seek=$((at + 15)) conv=notrunc status=none
}
