# Every way the loader gives up, each with the right box(es) in the right
# order, no folder left behind and exit code 0: setup0.lib missing, a
# corrupt volume, a set without Setup.bin, a loader without its library
# resource, one whose resource is damaged, and a temporary path that does
# not exist (two boxes: the error, then the failed clean-up).

FAILURE_VOLUME_SIZE=40K

run_case() {
  local good=$E2E_CASE_DIR/good
  e2e_demo_medium "$good" "$FAILURE_VOLUME_SIZE"
  [ "$(e2e_volume_count "$good")" -ge 3 ] || e2e_fail "expected 3 or more volumes"

  local folder

  folder=$(failure_medium no_setup0)
  rm "$folder/setup0.lib"
  failure_run "setup0.lib missing" "$folder" "Could not call decompression functions!"

  folder=$(failure_medium corrupt_volume)
  head -c 4096 /dev/zero | tr '\0' '\125' |
    dd of="$folder/setup1.lib" bs=1 seek=8192 conv=notrunc status=none
  failure_run "corrupt setup1.lib" "$folder" "Could not call decompression functions!"

  folder=$E2E_CASE_DIR/no_setup_bin
  e2e_make_set "$folder" "" --volume-size "$FAILURE_VOLUME_SIZE" \
    --patch "settings.ini=$(e2e_payload_old):$(e2e_payload_new)" -- "$(e2e_payload_files)"
  cp "$E2E_BIN/setup.exe" "$folder/"
  failure_run "Setup.bin not in the set" "$folder" "Could not execute main program!" check_no_dialog

  folder=$(failure_medium no_resource)
  [ -f "$E2E_BIN/setup-noresource.exe" ] || e2e_fail "no $E2E_BIN/setup-noresource.exe"
  cp "$E2E_BIN/setup-noresource.exe" "$folder/setup.exe"
  failure_run "loader without its library" "$folder" "Could not extract decompression library!"

  folder=$(failure_medium damaged_resource)
  damage_resource "$folder/setup.exe"
  failure_run "damaged library resource" "$folder" "Could not call decompression functions!"

  # No folder can be made under a temporary path that does not exist.
  E2E_LOADER_TEMP='C:\e2e\nowhere'
  failure_run "temporary path missing" "$E2E_CASE_DIR/good" "Could not extract decompression library!" \
    "" "Error" "Could not delete temporary installation files!"
  unset E2E_LOADER_TEMP
  [ ! -e "$E2E_PREFIX/drive_c/e2e/nowhere" ] || e2e_fail "the missing temporary path was made"
}

# A copy of the good medium under NAME; prints its folder.
failure_medium() {
  local folder=$E2E_CASE_DIR/$1
  mkdir -p "$folder"
  cp "$E2E_CASE_DIR/good"/* "$folder/"
  printf '%s\n' "$folder"
}

# failure_run TITLE FOLDER MESSAGE [CHECK-WHILE-THE-BOX-IS-UP [CAPTION MESSAGE]...]
# The boxes must come in the order given, the loader's error box first.
failure_run() {
  local title=$1 folder=$2 message=$3 check=${4:-}
  shift 4 2>/dev/null || shift $#
  local report=$folder/report.txt started
  e2e_log "-- $title"
  started=$(e2e_now)
  e2e_start_loader "$folder/setup.exe" "/report=$(e2e_winpath "$report")"
  e2e_expect_box "$E2E_ERROR_CAPTION" "$message" none
  [ -z "$check" ] || "$check"
  e2e_probe box --caption "$E2E_ERROR_CAPTION" --timeout 0 --press ok >/dev/null ||
    e2e_fail "$title: could not press OK"
  while [ $# -ge 2 ]; do
    e2e_expect_box "$1" "$2" ok
    shift 2
  done
  e2e_expect_exit_zero 10
  [ ! -e "$report" ] || e2e_fail "$title: Setup.bin ran"
  e2e_check "$title: temporary folder empty" e2e_temp_is_empty
  e2e_log "-- $title: passed in $(e2e_elapsed "$started" "$(e2e_now)") s"
}

check_no_dialog() {
  if e2e_probe dialog --timeout 0 >/dev/null 2>&1; then
    e2e_fail "the progress dialog is still up under the box"
  fi
  e2e_log "ok: the progress dialog was closed before the box"
}

# Turns the first byte of the packed library (the literal 'M' of its MZ
# header, right after the SZDD header and the first flag byte) into 'X': the
# resource still unpacks, but into something that is no DLL.
damage_resource() {
  local exe=$1 offsets
  offsets=$(LC_ALL=C grep -obUaP 'SZDD\x88\xF0\x27\x33' "$exe" | cut -d: -f1)
  [ "$(wc -w <<<"$offsets")" = 1 ] || e2e_fail "expected one SZDD header in setup.exe, found: $offsets"
  local flags first
  flags=$(od -An -tu1 -j $((offsets + 14)) -N1 "$exe" | tr -d ' ')
  first=$(od -An -tu1 -j $((offsets + 15)) -N1 "$exe" | tr -d ' ')
  [ $((flags & 1)) = 1 ] && [ "$first" = 77 ] || e2e_fail "unexpected start of the SZDD data ($flags $first)"
  printf 'X' | dd of="$exe" bs=1 seek=$((offsets + 15)) conv=notrunc status=none
  e2e_log "damaged the library resource at file offset $((offsets + 15))"
}
