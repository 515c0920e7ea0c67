# Cancel clicked during a slow extraction, once with the mouse through X and
# once as BM_CLICK from the probe: the dialog closes, the error box follows,
# Setup.bin never starts, nothing stays.

CANCEL_MEDIA_SIZE=$((40 << 20))

run_case() {
  local medium=$E2E_CASE_DIR/medium media
  e2e_random_data "$CANCEL_MEDIA_SIZE" 2
  media=$E2E_DATA
  mkdir -p "$medium"
  # Setup.bin first, so that it is out of the set when Cancel comes: the
  # bar passes 50% when the big file starts.
  e2e_make_set "$medium" "cancel $CANCEL_MEDIA_SIZE" -- "$E2E_BIN/Setup.bin" "$media"
  cp "$E2E_BIN/setup.exe" "$medium/"

  cancel_run "$medium" mouse
  cancel_run "$medium" message
}

# cancel_run MEDIUM mouse|message
cancel_run() {
  local medium=$1 how=$2
  local report=$E2E_CASE_DIR/report.txt dialog clicked
  e2e_log "-- Cancel by $how"
  e2e_start_loader "$medium/setup.exe" "/report=$(e2e_winpath "$report")"
  if [ "$how" = mouse ]; then
    dialog=$(e2e_probe dialog --min-pos 60 --timeout 30000) || e2e_fail "no progress dialog"
    local left top right bottom
    read -r left top right bottom <<<"$(e2e_value dialog.control.2.rect <<<"$dialog")"
    local x=$(((left + right) / 2)) y=$(((top + bottom) / 2))
    xdotool mousemove "$x" "$y" click 1
    clicked=$(e2e_now)
    e2e_log "clicked Cancel at $x,$y with the bar at $(e2e_value dialog.control.123.pos <<<"$dialog")%"
  else
    dialog=$(e2e_probe cancel --min-pos 60 --timeout 30000) || e2e_fail "could not click Cancel"
    clicked=$(e2e_now)
    e2e_log "sent BM_CLICK to Cancel with the bar at $(e2e_value dialog.control.123.pos <<<"$dialog")%"
  fi

  local out
  out=$(e2e_probe dialog-gone --timeout 5000) || { echo "$out"; e2e_fail "the dialog stayed after Cancel"; }
  e2e_log "dialog closed $(e2e_elapsed "$clicked" "$(e2e_now)") s after the click"
  e2e_expect_box "$E2E_ERROR_CAPTION" "Could not call decompression functions!" ok
  e2e_expect_exit_zero 10
  [ ! -e "$report" ] || e2e_fail "Setup.bin ran after Cancel"
  e2e_log "ok: Setup.bin never started"
  e2e_check "temporary folder empty" e2e_temp_is_empty
  e2e_clean_temp
}
