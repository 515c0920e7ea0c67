# Shared helpers of the end-to-end cases, sourced by run-case.
#
# Expects from the environment (CTest sets them, scripts/demo too):
#   E2E_BIN        the win32 build's bin folder (setup.exe, Setup.bin, probe.exe)
#   E2E_PLANTED    planted.dll
#   E2E_ARCSET     the host arcset program
#   E2E_PREFIX     the Wine prefix of the build tree
#   E2E_WINE_RUN   scripts/wine-run
#   E2E_WORK       a scratch folder of the build tree (cached data sets)
#   E2E_ARTIFACTS  where screenshots and reports are kept
# and a DISPLAY (run-case provides one through xvfb-run).

E2E_DIALOG_TEXT="Setup is preparing the Corvane installation tool. Please wait..."
E2E_ERROR_CAPTION="Error during setup initialization"
E2E_DISK_CAPTION="Insert next disk"
E2E_WINDOW_CAPTION="Corvane setup - sample main program"

e2e_now() { printf '%s' "$EPOCHREALTIME"; }

# Seconds between two e2e_now stamps, to milliseconds.
e2e_elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

e2e_log() { printf '[%7s] %s\n' "$(e2e_elapsed "$E2E_CASE_START" "$(e2e_now)")" "$*"; }

# Everything a reader needs to see why a case failed: the windows on screen,
# the temporary folder, the loader's own output.
e2e_diagnose() {
  echo "---- visible windows (probe) ----"
  e2e_probe windows 2>&1 || true
  echo "---- Wine temporary folder ${E2E_TEMP_UNIX:-?} ----"
  [ -n "${E2E_TEMP_UNIX:-}" ] && (cd "$E2E_TEMP_UNIX" 2>/dev/null && find . -mindepth 1 | sort | head -50)
  if [ -n "${E2E_LOADER_LOG:-}" ] && [ -s "$E2E_LOADER_LOG" ]; then
    echo "---- loader output ----"
    tail -n 20 "$E2E_LOADER_LOG"
  fi
}

e2e_fail() {
  e2e_log "FAIL: $*"
  e2e_diagnose
  exit 1
}

e2e_check() {
  local what=$1
  shift
  if "$@"; then e2e_log "ok: $what"; else e2e_fail "$what"; fi
}

# Runs a Win32 program in the prefix. E2E_DLL_OVERRIDES adds Wine DLL
# overrides (wine-run sets its own); the server must be up already, which
# run-case sees to.
e2e_wine() {
  if [ -n "${E2E_DLL_OVERRIDES:-}" ]; then
    WINEPREFIX=$E2E_PREFIX WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all} \
      WINEDLLOVERRIDES="mscoree,mshtml=;$E2E_DLL_OVERRIDES" wine "$@"
  else
    "$E2E_WINE_RUN" "$E2E_PREFIX" "$@"
  fi
}

e2e_probe() { e2e_wine "$E2E_BIN/probe.exe" "$@"; }

# The value of KEY in key=value lines on stdin.
e2e_value() { sed -n "s/^$1=//p" | head -n 1 | tr -d '\r'; }

# Windows path of a path inside the prefix's drive C.
e2e_winpath() {
  local rest=${1#"$E2E_PREFIX/drive_c/"}
  [ "$rest" != "$1" ] || { echo "e2e_winpath: $1 is not on drive C" >&2; return 1; }
  printf 'C:\\%s' "${rest//\//\\}"
}

# The prefix's temporary folder (what GetTempPathA reports), asked once per
# build tree.
e2e_find_temp() {
  local cache=$E2E_WORK/temp-folder temp rest
  if [ ! -s "$cache" ]; then
    temp=$(e2e_wine cmd /c echo %TEMP% | tr -d '\r' | tail -n 1)
    case $temp in
      [Cc]:\\*) ;;
      *) echo "e2e: unexpected %TEMP% '$temp'" >&2; return 1 ;;
    esac
    rest=${temp:3}
    printf '%s\n' "$E2E_PREFIX/drive_c/${rest//\\//}" >"$cache"
  fi
  E2E_TEMP_UNIX=$(cat "$cache")
  [ -d "$E2E_TEMP_UNIX" ] || { rm -f "$cache"; echo "e2e: no folder $E2E_TEMP_UNIX" >&2; return 1; }
  E2E_TEMP_WIN=$(e2e_winpath "$E2E_TEMP_UNIX")
}

e2e_clean_temp() { find "$E2E_TEMP_UNIX" -mindepth 1 -delete; }

e2e_temp_entries() { (cd "$E2E_TEMP_UNIX" && find . -mindepth 1 -maxdepth 1 -printf '%f\n' | sort); }

e2e_temp_is_empty() {
  local left
  left=$(e2e_temp_entries)
  [ -z "$left" ] || { e2e_log "left in the temporary folder: $(echo $left)"; return 1; }
}

# A fresh, empty folder for this case inside drive C.
e2e_case_folder() {
  E2E_CASE_DIR=$E2E_PREFIX/drive_c/e2e/$E2E_CASE
  rm -rf "$E2E_CASE_DIR"
  mkdir -p "$E2E_CASE_DIR"
}

# Deterministic, incompressible bytes: AES-128-CTR over zeros, keyed by SEED.
e2e_random_file() {
  local file=$1 size=$2 seed=$3
  head -c "$size" /dev/zero |
    openssl enc -aes-128-ctr -nosalt -K "$(printf '%032x' "$seed")" -iv 00000000000000000000000000000000 >"$file"
}

# CRC-32 of a file in the report's form (8 upper-case hex digits), taken
# from the trailer that gzip writes.
e2e_crc() {
  gzip -1 -c <"$1" | tail -c 8 | od -An -tx1 -N4 |
    awk '{ printf "%s%s%s%s\n", toupper($4), toupper($3), toupper($2), toupper($1) }'
}

# "File: SIZE CRC NAME" as the sample program reports it, for a local file
# that should appear under NAME.
e2e_expected_file() { printf 'File: %s %s %s\n' "$(stat -c %s "$1")" "$(e2e_crc "$1")" "$2"; }

# arcset create, cached under E2E_WORK when the same inputs were packed by
# the same arcset before: big generated sets take seconds to compress.
#   e2e_make_set OUTDIR CACHE-KEY [OPTION...] -- INPUT...
# CACHE-KEY must change whenever the inputs do; "" disables the cache.
e2e_make_set() {
  local outdir=$1 key=$2 options=() inputs=()
  shift 2
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  inputs=("$@")
  mkdir -p "$outdir"
  if [ -z "$key" ]; then
    "$E2E_ARCSET" create "${options[@]}" "$outdir" "${inputs[@]}" >/dev/null ||
      e2e_fail "arcset create ${options[*]} $outdir ${inputs[*]}"
    return
  fi
  local stamp
  stamp=$( (sha256sum <"$E2E_ARCSET"; sha256sum <"$E2E_BIN/Setup.bin"; echo "$key ${options[*]} ${inputs[*]}") |
    sha256sum | cut -c1-16)
  cache=$E2E_WORK/sets/${key%% *}-$stamp
  if [ ! -f "$cache/.complete" ]; then
    rm -rf "$E2E_WORK/sets/${key%% *}"-*  # the last set of each kind is enough
    mkdir -p "$cache"
    "$E2E_ARCSET" create "${options[@]}" "$cache" "${inputs[@]}" >/dev/null ||
      e2e_fail "arcset create ${options[*]} $cache ${inputs[*]}"
    touch "$cache/.complete"
  fi
  cp "$cache"/setup*.lib "$outdir"/
}

# Starts a loader in the background: e2e_start_loader EXE-UNIX-PATH ARGS...
# Sets E2E_LOADER_PID, E2E_LOADER_STARTED and E2E_LOADER_LOG. With
# E2E_LOADER_TEMP set (a Windows path), the loader runs with TMP and TEMP
# pointing there.
e2e_start_loader() {
  local exe=$1
  shift
  local win
  win=$(e2e_winpath "$exe") || e2e_fail "loader outside drive C"
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

e2e_loader_running() { kill -0 "$E2E_LOADER_PID" 2>/dev/null; }

# Waits for the loader to end; E2E_LOADER_RC holds its exit code.
e2e_wait_loader() {
  local timeout=${1:-20} deadline
  deadline=$(awk -v t="$(e2e_now)" -v d="$timeout" 'BEGIN { printf "%.3f", t + d }')
  while e2e_loader_running; do
    if awk -v t="$(e2e_now)" -v d="$deadline" 'BEGIN { exit !(t > d) }'; then
      e2e_log "loader still running after ${timeout} s"
      e2e_diagnose
      kill "$E2E_LOADER_PID" 2>/dev/null
      WINEPREFIX=$E2E_PREFIX wineserver -k 2>/dev/null
      exit 1
    fi
    sleep 0.05
  done
  wait "$E2E_LOADER_PID"
  E2E_LOADER_RC=$?
  E2E_LOADER_ENDED=$(e2e_now)
  e2e_log "loader ended with exit code $E2E_LOADER_RC after $(e2e_elapsed "$E2E_LOADER_STARTED" "$E2E_LOADER_ENDED") s"
}

e2e_expect_exit_zero() {
  e2e_wait_loader "${1:-20}"
  [ "$E2E_LOADER_RC" = 0 ] || e2e_fail "loader exit code $E2E_LOADER_RC, expected 0"
}

# Waits for a message box, checks its text and presses OK (or leaves it
# open with PRESS=none); E2E_BOX_WINDOW holds its handle. A box that closes
# may still be on screen for a moment: give its handle as OTHER-THAN to wait
# for the next one.   e2e_expect_box CAPTION TEXT [ok|none [OTHER-THAN]]
e2e_expect_box() {
  local caption=$1 text=$2 press=${3:-ok} other=${4:-} out seen
  local args=(box --caption "$caption" --timeout 20000)
  [ "$press" = none ] || args+=(--press "$press")
  [ -z "$other" ] || args+=(--other-than "$other")
  # On a timeout the probe lists what was on screen; so does e2e_fail.
  out=$(e2e_probe "${args[@]}" 2>/dev/null) || e2e_fail "no box \"$caption\" with \"$text\""
  seen=$(e2e_value box.text <<<"$out")
  if [ "$seen" != "$text" ]; then
    echo "$out"
    e2e_fail "box \"$caption\" says \"$seen\", expected \"$text\""
  fi
  E2E_BOX_WINDOW=$(e2e_value box.window <<<"$out")
  e2e_log "box \"$caption\": \"$seen\" (pressed $press)"
}

# Lines of a report file (CR LF removed).
e2e_report_lines() { tr -d '\r' <"$1"; }

e2e_report_value() { e2e_report_lines "$1" | sed -n "s/^$2: //p" | head -n 1; }

e2e_wait_file() {
  local file=$1 timeout=${2:-20} deadline
  deadline=$(awk -v t="$(e2e_now)" -v d="$timeout" 'BEGIN { printf "%.3f", t + d }')
  until [ -f "$file" ]; do
    if awk -v t="$(e2e_now)" -v d="$deadline" 'BEGIN { exit !(t > d) }'; then
      e2e_fail "no $file after ${timeout} s"
    fi
    sleep 0.02
  done
}

# Compares the files that the report lists with the expected "File:" lines
# given on stdin (any order).
e2e_check_report_files() {
  local report=$1 expected actual
  expected=$(sort)
  actual=$(e2e_report_lines "$report" | grep '^File: ' | sort)
  if [ "$expected" != "$actual" ]; then
    echo "---- expected files ----"; echo "$expected"
    echo "---- reported files ----"; echo "$actual"
    e2e_fail "the extracted files differ"
  fi
  e2e_log "ok: $(echo "$actual" | wc -l) extracted files with the expected sizes and CRC-32"
}

e2e_screenshot() {
  mkdir -p "$E2E_ARTIFACTS"
  import -window root "$E2E_ARTIFACTS/$1" 2>/dev/null || e2e_fail "screenshot $1"
  e2e_log "screenshot: $E2E_ARTIFACTS/$1"
}

# A cached file of SIZE deterministic random bytes; E2E_DATA is its path.
e2e_random_data() {
  local size=$1 seed=$2
  E2E_DATA=$E2E_WORK/data/random-$size-$seed.bin
  if [ ! -f "$E2E_DATA" ]; then
    mkdir -p "$E2E_WORK/data"
    e2e_random_file "$E2E_DATA.part" "$size" "$seed" && mv "$E2E_DATA.part" "$E2E_DATA" ||
      e2e_fail "could not generate $size bytes of test data"
  fi
}

# The demonstration payload of examples/medium.
e2e_payload_files() { printf '%s\n' "$E2E_SOURCE_DIR/examples/medium/files"; }
e2e_payload_old() { printf '%s\n' "$E2E_SOURCE_DIR/examples/medium/files/settings.ini"; }
e2e_payload_new() { printf '%s\n' "$E2E_SOURCE_DIR/examples/medium/update/settings.ini"; }
e2e_payload_key() { cat "$E2E_SOURCE_DIR"/examples/medium/files/* "$(e2e_payload_new)" | sha256sum | cut -c1-16; }

# Expected "File:" lines of the payload after the patch record has run.
e2e_expected_payload() {
  local file name
  for file in "$E2E_SOURCE_DIR"/examples/medium/files/*; do
    name=$(basename "$file")
    if [ "$name" = settings.ini ]; then
      e2e_expected_file "$(e2e_payload_new)" settings.ini
    else
      e2e_expected_file "$file" "$name"
    fi
  done
}

# The library and the main program, as they must come out of the set.
e2e_expected_runtime() {
  e2e_expected_file "$E2E_BIN/bzip2arc.dll" bzip2arc.dll
  e2e_expected_file "$E2E_BIN/Setup.bin" Setup.bin
}

# A medium in FOLDER: setup.exe (or LOADER) beside a set of Setup.bin, the
# payload and its patch record. Extra arcset inputs may follow.
#   e2e_demo_medium FOLDER VOLUME-SIZE [EXTRA-INPUT...]
e2e_demo_medium() {
  local folder=$1 volume=$2
  shift 2
  local key="demo-$volume $(e2e_payload_key) $*"
  e2e_make_set "$folder" "$key" --volume-size "$volume" \
    --patch "settings.ini=$(e2e_payload_old):$(e2e_payload_new)" -- \
    "$E2E_BIN/Setup.bin" "$(e2e_payload_files)" "$@"
  cp "$E2E_BIN/setup.exe" "$folder/setup.exe"
}

e2e_volume_count() { find "$1" -maxdepth 1 -name 'setup*.lib' | wc -l; }

# Polls until PATH is gone; E2E_GONE_AT is the time it went.
e2e_wait_gone() {
  local path=$1 timeout=${2:-20} deadline
  deadline=$(awk -v t="$(e2e_now)" -v d="$timeout" 'BEGIN { printf "%.3f", t + d }')
  while [ -e "$path" ]; do
    if awk -v t="$(e2e_now)" -v d="$deadline" 'BEGIN { exit !(t > d) }'; then
      e2e_fail "$path still there after ${timeout} s"
    fi
    sleep 0.02
  done
  E2E_GONE_AT=$(e2e_now)
}
