# Shared helpers of the end-to-end cases, sourced by run-case (and scripts/demo).
#
# Expects from the environment (CTest sets them):
#   E2E_BIN        the win32 build's bin folder (setup.exe, Setup.bin, probe.exe)
#   E2E_PLANTED    planted.dll
#   E2E_ARCSET     the host arcset program
#   E2E_PREFIX     the Wine prefix of the build tree
#   E2E_WINE_RUN   scripts/wine-run
#   E2E_ARTIFACTS  where screenshots and reports are kept
# and a DISPLAY (run-case provides one through xvfb-run). E2E_TIME_SCALE (a
# whole number, 1 by default) multiplies every wait, for slow hosts such as an
# emulated VM (scripts/test-win32-vm).

E2E_TIME_SCALE=${E2E_TIME_SCALE:-1}

E2E_ERROR_CAPTION="Error during setup initialization"

e2e_now() { printf '%s' "$EPOCHREALTIME"; }

# Seconds between two e2e_now stamps, to milliseconds.
e2e_elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

e2e_log() { printf '[%7s] %s\n' "$(e2e_elapsed "$E2E_CASE_START" "$(e2e_now)")" "$*"; }

# Ends the case with what a reader needs to see why: the windows on screen,
# the temporary folder and the loader's own output.
e2e_fail() {
  e2e_log "FAIL: $*"
  e2e_probe windows 2>&1
  [ -z "${E2E_TEMP_UNIX:-}" ] || find "$E2E_TEMP_UNIX" -mindepth 1 | head -50
  [ -z "${E2E_LOADER_LOG:-}" ] || tail -n 20 "$E2E_LOADER_LOG"
  exit 1
}

# e2e_check WHAT COMMAND...: fails the case unless COMMAND succeeds.
e2e_check() { if "${@:2}"; then e2e_log "ok: $1"; else e2e_fail "$1"; fi; }

# Microseconds since the epoch, whatever the locale's decimal separator.
e2e_now_us() { printf '%s' "${EPOCHREALTIME//[!0-9]/}"; }

# e2e_until SECONDS COMMAND...: polls COMMAND until it succeeds; false when
# the time (times E2E_TIME_SCALE) is up.
e2e_until() {
  local deadline=$(($(e2e_now_us) + $1 * E2E_TIME_SCALE * 1000000))
  shift
  until "$@"; do (($(e2e_now_us) < deadline)) && sleep 0.02 || return 1; done
}

# Runs a Win32 program in the prefix, whose server run-case has started.
# E2E_DLL_OVERRIDES adds Wine DLL overrides.
e2e_wine() {
  if [ -n "${E2E_DLL_OVERRIDES:-}" ]; then
    WINEPREFIX=$E2E_PREFIX WINEARCH=$(e2e_winearch) WINEDEBUG=${WINEDEBUG:--all} \
      WINEDLLOVERRIDES="mscoree,mshtml=;$E2E_DLL_OVERRIDES" wine "$@"
  else
    "$E2E_WINE_RUN" "$E2E_PREFIX" "$@"
  fi
}

# The prefix's architecture, as scripts/wine-run makes it from the folder's name.
e2e_winearch() { case $E2E_PREFIX in */wineprefix64) echo win64 ;; *) echo win32 ;; esac; }

# The probe, with its --timeout times E2E_TIME_SCALE.
e2e_probe() {
  local args=()
  while [ $# -gt 0 ]; do
    if [ "$1" = --timeout ]; then
      args+=(--timeout "$(($2 * E2E_TIME_SCALE))")
      shift 2
    else
      args+=("$1")
      shift
    fi
  done
  e2e_wine "$E2E_BIN/probe.exe" "${args[@]}"
}

# The value of KEY in the key=value lines on stdin.
e2e_value() { sed -n "s/^$1=//p" | head -n 1 | tr -d '\r'; }

# Windows path of a path on the prefix's drive C.
e2e_winpath() {
  local rest=${1#"$E2E_PREFIX/drive_c/"}
  [ "$rest" != "$1" ] || { echo "e2e_winpath: $1 is not on drive C" >&2; return 1; }
  printf 'C:\\%s' "${rest//\//\\}"
}

# The path on the prefix's drive C of a Windows path C:\...
e2e_unixpath() {
  local rest=${1#C:\\}
  [ "$rest" != "$1" ] || { echo "e2e_unixpath: $1 is not on drive C" >&2; return 1; }
  printf '%s/drive_c/%s' "$E2E_PREFIX" "${rest//\\//}"
}

# The prefix's temporary folder, as GetTempPathA reports it: E2E_TEMP_WIN
# and E2E_TEMP_UNIX.
e2e_find_temp() {
  E2E_TEMP_WIN=$(e2e_wine cmd /c echo %TEMP% | tr -d '\r' | tail -n 1)
  E2E_TEMP_UNIX=$E2E_PREFIX/drive_c/$(tr '\\' / <<<"${E2E_TEMP_WIN:3}")
  [[ $E2E_TEMP_WIN == C:\\* && -d $E2E_TEMP_UNIX ]] || { echo "e2e: no %TEMP% '$E2E_TEMP_WIN'" >&2; return 1; }
}

# What is left in the temporary folder, as "TYPE:PATH ..." (f file, d folder).
e2e_temp_left() { echo $(cd "$E2E_TEMP_UNIX" && find . -mindepth 1 -printf '%y:%P\n' | sort); }

e2e_temp_is_empty() { [ -z "$(e2e_temp_left)" ]; }

# Deterministic, incompressible bytes: AES-128-CTR over zeros, keyed by SEED.
#   e2e_random_file FILE SIZE SEED
e2e_random_file() {
  head -c "$2" /dev/zero |
    openssl enc -aes-128-ctr -nosalt -K "$(printf '%032x' "$3")" -iv 00000000000000000000000000000000 >"$1"
}

# arcset create [OPTION...] OUTDIR INPUT...
e2e_make_set() { "$E2E_ARCSET" create "$@" >/dev/null || e2e_fail "arcset create $*"; }

# A medium in FOLDER: setup.exe beside a set of Setup.bin, the example files
# and a patch record that updates settings.ini; further inputs may follow.
#   e2e_demo_medium FOLDER VOLUME-SIZE [INPUT...]
e2e_demo_medium() {
  local folder=$1 volume=$2 example=$E2E_SOURCE_DIR/examples/medium
  shift 2
  e2e_make_set --volume-size "$volume" --patch "settings.ini=$example/files/settings.ini:$example/update/settings.ini" \
    "$folder" "$E2E_BIN/Setup.bin" "$example/files" "$@"
  cp "$E2E_BIN/setup.exe" "$folder/"
}

# Starts setup.exe (a path on drive C) in the background with ARGS; sets
# E2E_LOADER_PID, E2E_LOADER_STARTED and E2E_LOADER_LOG. With E2E_LOADER_TEMP
# (a Windows path) set, the loader runs with TMP and TEMP pointing there.
# Wine starts a program whose Windows path has MAX_PATH (260) characters or
# more only by its Unix path, so such a one is started that way.
#   e2e_start_loader EXE [ARG...]
e2e_start_loader() {
  local win
  win=$(e2e_winpath "$1") || e2e_fail "loader outside drive C"
  [ ${#win} -lt 260 ] || win=$1
  shift
  E2E_LOADER_LOG=$E2E_CASE_DIR/loader-$((++E2E_LOADER_RUNS)).log
  E2E_LOADER_STARTED=$(e2e_now)
  if [ -n "${E2E_LOADER_TEMP:-}" ]; then
    # Wine takes TMP and TEMP from the registry, not from the Unix side.
    e2e_wine cmd /c "set TMP=$E2E_LOADER_TEMP&& set TEMP=$E2E_LOADER_TEMP&& $win $*" >"$E2E_LOADER_LOG" 2>&1 &
  else
    e2e_wine "$win" "$@" >"$E2E_LOADER_LOG" 2>&1 &
  fi
  E2E_LOADER_PID=$!
  e2e_log "started $win $*${E2E_LOADER_TEMP:+ with TEMP=$E2E_LOADER_TEMP}"
}

e2e_loader_ended() { ! kill -0 "$E2E_LOADER_PID" 2>/dev/null; }

# Waits up to SECONDS (20) for the loader to end with exit code 0; sets
# E2E_LOADER_RC and E2E_LOADER_ENDED.
e2e_expect_exit_zero() {
  e2e_until "${1:-20}" e2e_loader_ended || { kill "$E2E_LOADER_PID"; e2e_fail "loader still running after ${1:-20} s"; }
  wait "$E2E_LOADER_PID"
  E2E_LOADER_RC=$?
  E2E_LOADER_ENDED=$(e2e_now)
  e2e_log "loader ended with exit code $E2E_LOADER_RC after $(e2e_elapsed "$E2E_LOADER_STARTED" "$E2E_LOADER_ENDED") s"
  [ "$E2E_LOADER_RC" = 0 ] || e2e_fail "loader exit code $E2E_LOADER_RC, expected 0"
}

# Waits for the message box CAPTION, checks that it says TEXT and presses OK
# (or Cancel with PRESS=cancel, or leaves it open with PRESS=none). A box that closes may still be on
# screen for a moment: give its handle as OTHER-THAN to wait for the next
# one. E2E_BOX is the box's handle.
#   e2e_expect_box CAPTION TEXT [ok|cancel|none [OTHER-THAN]]
e2e_expect_box() {
  local out seen
  out=$(e2e_probe box --caption "$1" --timeout 20000 --press "${3:-ok}" --other-than "${4:-0}") ||
    e2e_fail "no box \"$1\" with \"$2\""
  seen=$(e2e_value box.text <<<"$out")
  [ "$seen" = "$2" ] || e2e_fail "box \"$1\" says \"$seen\", expected \"$2\""
  E2E_BOX=$(e2e_value box.window <<<"$out")
  e2e_log "ok: box \"$1\": \"$2\" (pressed ${3:-ok})"
}

# Lines of a report file of Setup.bin (CR LF removed), and one value of it.
e2e_report_lines() { tr -d '\r' <"$1"; }
e2e_report_value() { e2e_report_lines "$1" | sed -n "s/^$2: //p" | head -n 1; }

# Checks that Setup.bin's C runtime and CommandLineToArgvW both split its
# command line into exactly ARGs (its own path first).
#   e2e_check_arguments REPORT ARG...
e2e_check_arguments() {
  local report=$1 kind expected
  shift
  expected=$(for ((i = 1; i <= $#; i++)); do printf 'Argument %d: [%s]\n' $((i - 1)) "${!i}"; done)
  for kind in Argument "Wide argument"; do
    diff <(printf '%s\n' "$expected" | sed "s/^Argument/$kind/") <(e2e_report_lines "$report" | grep "^$kind [0-9]") ||
      e2e_fail "Setup.bin's $kind list differs"
  done
  e2e_log "ok: the C runtime and CommandLineToArgvW give Setup.bin its $# values"
}

e2e_wait_file() { e2e_until "${2:-20}" test -f "$1" || e2e_fail "no $1 after ${2:-20} s"; }

# Runs setup.exe of MEDIUM with /report until Setup.bin has reported and the
# loader has ended with exit code 0; E2E_REPORT is the report.
e2e_run_setup() {
  E2E_REPORT=$E2E_CASE_DIR/report-$((E2E_LOADER_RUNS + 1)).txt
  e2e_start_loader "$1/setup.exe" "/report=$(e2e_winpath "$E2E_REPORT")"
  e2e_wait_file "$E2E_REPORT" 30
  e2e_expect_exit_zero
}

# Checks the files that REPORT lists against those that a run of
# e2e_demo_medium with the further INPUTs must leave: the patched example
# files, Setup.bin and the unpacked library (and no compressed copy), each
# as "File: SIZE CRC-32 NAME" (the CRC-32 from the trailer that gzip writes).
#   e2e_check_files REPORT [INPUT...]
e2e_check_files() {
  local report=$1 example=$E2E_SOURCE_DIR/examples/medium file
  shift
  diff <(for file in "$E2E_BIN/Setup.bin" "$E2E_BIN/bzip2arc.dll" "$example"/files/* "$@"; do
    [ "${file##*/}" = settings.ini ] && file=$example/update/settings.ini
    printf 'File: %s %s %s\n' "$(stat -c %s "$file")" \
      "$(gzip -1 -c <"$file" | tail -c 8 | od -An -tx4 -N4 | tr -d ' ' | tr a-f A-F)" "${file##*/}"
  done | sort) <(e2e_report_lines "$report" | grep '^File: ' | sort) || e2e_fail "Setup.bin found other files"
  e2e_log "ok: the files that Setup.bin found have the expected sizes and CRC-32"
}

e2e_screenshot() { e2e_check "screenshot: $E2E_ARTIFACTS/$1" import -window root "$E2E_ARTIFACTS/$1"; }
