# Started by the loader with SW_HIDE, the sample Setup.bin still shows its
# window; the folder stays while it is open and goes about 2 s after Close.

run_case() {
  local medium=$E2E_CASE_DIR/medium
  e2e_demo_medium "$medium" 4M
  e2e_start_loader "$medium/setup.exe"
  local window
  window=$(e2e_probe window --caption "$E2E_WINDOW_CAPTION" --timeout 30000) ||
    { echo "$window"; e2e_fail "no visible window of Setup.bin"; }
  e2e_check "Setup.bin's window is visible" test "$(e2e_value window.visible <<<"$window")" = 1
  local text expected
  text=$(e2e_value window.control.100.text <<<"$window")
  expected="Command line: [\"$E2E_TEMP_WIN\\CV0\\Setup.bin\" \"$E2E_TEMP_WIN\\CV0\" \"$(e2e_winpath "$medium")\" ]"
  [[ $text == *"$expected"* ]] || { echo "$text"; e2e_fail "the window does not show [$expected]"; }
  e2e_log "ok: the window shows $expected (one blank at the end: no arguments)"
  e2e_check "the folder stays while Setup.bin runs" test -f "$E2E_TEMP_UNIX/CV0/Setup.bin"
  e2e_screenshot e2e-report-window.png

  local left top right bottom
  read -r left top right bottom <<<"$(e2e_value window.control.1.rect <<<"$window")"
  xdotool mousemove $(((left + right) / 2)) $(((top + bottom) / 2)) click 1
  local closed gone
  closed=$(e2e_now)
  e2e_log "clicked Close"
  e2e_wait_gone "$E2E_TEMP_UNIX/CV0" 10
  gone=$E2E_GONE_AT
  e2e_log "folder removal delay: $(e2e_elapsed "$closed" "$gone") s after Close"
  e2e_expect_exit_zero 10
  e2e_check "temporary folder empty" e2e_temp_is_empty
}
