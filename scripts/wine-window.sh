# Sourced by the scripts that drive plmtool.exe under wine on a virtual X server
# (check-window-windows, screenshots-windows). Expects $dir (the Windows build) and
# $work (a temporary folder); provides wine, a window manager, and the waits and keys
# they drive the window with. Every wait is bounded and fails loudly.
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
export WINEPREFIX="$dir/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
app="" wm=""
fail() {
  echo "$(basename "$0"): $*" >&2
  if [ -f "$work/status.log" ]; then echo "status texts so far:" >&2; sed 's/^/  | /' "$work/status.log" >&2; fi
  exit 1
}
cleanup() {
  if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; fi
  "$wineserver" -k >/dev/null 2>&1 || true
  if [ -n "$wm" ]; then kill "$wm" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

# A server of this display's own, the Japanese fonts the window asks for, and a window
# manager.
start_desktop() {
  "$wineserver" -k >/dev/null 2>&1 || true
  "$wineserver" -w >/dev/null 2>&1 || true
  "$here/scripts/wine-fonts" "$wine"
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
}

# Starts plmtool.exe from folder $1, its status texts logged to $work/status.log.
start_window() {
  export PLMTOOL_STATUS_LOG
  PLMTOOL_STATUS_LOG=$(winpath "$work/status.log")
  (cd "$1" && exec "$wine" plmtool.exe) >"$work/plmtool.out" 2>&1 &
  app=$!
}

# Waits up to $1 seconds for a status text matching the pattern $2.
wait_status() {
  for _ in $(seq $(($1 * 4))); do
    grep -q -- "$2" "$work/status.log" 2>/dev/null && return 0
    sleep 0.25
  done
  fail "no status text matching '$2' within $1 s"
}
# The id of the visible window named exactly $1, waiting up to $2 seconds.
wait_window() {
  local id
  id=$(timeout "$2" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
  [ -n "$id" ] || fail "no window '$1' within $2 s"
  echo "$id"
}
# Waits up to $2 seconds until no visible window is named $1.
wait_gone() {
  for _ in $(seq $(($2 * 4))); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.25
  done
  fail "window '$1' still open after $2 s"
}
# Keys to window $1.
key() {
  local id=$1
  shift
  xdotool windowactivate --sync "$id" >/dev/null 2>&1 || xdotool windowfocus --sync "$id" >/dev/null 2>&1 || true
  xdotool key --clearmodifiers --delay 150 "$@"
  sleep 0.5
}
# Chooses the search folder through its menu item, taking the folder the chooser opens
# in (the stored one), and waits for the search to end.
choose_stored_search_folder() {
  local chooser="" try
  # A window just shown may drop the first keys: the menu is asked for again then.
  for try in 1 2 3; do
    key "$1" alt+f s
    chooser=$(timeout 15 xdotool search --sync --onlyvisible --name '^検索フォルダの指定$' 2>/dev/null | head -n 1) || true
    [ -n "$chooser" ] && break
    key "$1" Escape Escape
  done
  [ -n "$chooser" ] || fail "no window '検索フォルダの指定' after three tries"
  sleep 1
  key "$chooser" Return
  wait_gone '検索フォルダの指定' 30
  wait_status 30 '^フォルダ検索中です。（ESC:中断）$'
  sleep 1
}
