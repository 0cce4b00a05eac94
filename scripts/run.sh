#!/usr/bin/env bash
# The demo: builds Callwright.exe, starts it together with the substitute VoIP client, which places
# calls that Callwright records, and saves screenshots of the windows. Runs on $DISPLAY, or on a
# private virtual display when there is none.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Callwright callwright-clientsim callwright-uidriver

build="$root/build/windows"
shots="$build/demo/screenshots"
source "$root/scripts/wine-env.sh"
wine_env_start "$build"
# A fresh folder for the program, C:\Callwright in the Wine prefix (the screenshots show its path):
# its config.ini and Records folder live beside the executable.
demo="$WINEPREFIX/drive_c/Callwright"
rm -rf "$demo" "$shots"
mkdir -p "$demo" "$shots"
cp "$build/bin/Callwright.exe" "$build/bin/callwright-clientsim.exe" "$build/bin/callwright-uidriver.exe" "$demo/"

# Earlier calls of the last weeks, so that the list has something to sort and search: 16 kHz mono
# PCM of the given minutes and seconds (silent, and sparse on disk).
mkdir -p "$demo/Records"
python3 - "$demo/Records" <<'EOF_RECORDINGS'
import os, struct, sys
calls = [("02122026_093012", "anna.kowalski", 754), ("03122026_161544", "bob.miller", 95), ("04122026_110205", "jos\u00e9.garcia", 1312),
         ("07122026_142233", "anna.kowalski", 421), ("08122026_083917", "live:jane", 48), ("09122026_175208", "bob.miller", 2710),
         ("10122026_101010", "carla.rossi", 236)]
for stamp, partner, seconds in calls:
    data = seconds * 32000
    header = b"RIFF" + struct.pack("<I", 36 + data) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 1, 16000, 32000, 2, 16)
    with open(os.path.join(sys.argv[1], "%s_%s.wav" % (stamp, partner.replace(":", "_"))), "wb") as f:
        f.write(header + b"data" + struct.pack("<I", data))
        f.truncate(44 + data)
EOF_RECORDINGS

cd "$demo"

driver() { wine callwright-uidriver.exe "$@" >/dev/null 2>&1; }
call() {  # call <call id> <partner handle> <recording length ms> [clientsim options...]
  local id="$1" partner="$2" length="$3"; shift 3
  wine callwright-clientsim.exe --call "$id" --partner "$partner" --call-ms "$length" \
    --log "clientsim-$id.log" "$@" >/dev/null 2>&1
}
screenshot() { import -window root "$shots/$1.png"; echo "  $shots/$1.png"; }
# A window's outer rectangle on the screen, as "<w>x<h>+<x>+<y>", by its caption's beginning.
window_rectangle() {
  xwininfo -root -tree | grep -m1 "\"$1" | awk '{for (i = 1; i < NF; i++) if ($i ~ /^[0-9]+x[0-9]+[+-]/) {
    split($i, size, /[+-]/); print size[1] $(i + 1); exit}}'
}
window_screenshot() {  # window_screenshot <caption beginning> <file name>
  import -window root -crop "$(window_rectangle "$1")" +repage "$shots/$2.png"
  echo "  $shots/$2.png"
}
# The settings window alone, with its "Keep recordings as:" list open when xdotool can click it
# open (the open list lies over the window's bottom panel).
settings_screenshot() {
  local w h x y
  IFS='x+' read -r w h x y <<<"$(window_rectangle Settings)"
  if command -v xdotool >/dev/null; then
    # The closed list's middle: 60 px above the window's bottom edge (41 panel, 8 gap, half its 21).
    xdotool mousemove $((x + w / 2)) $((y + h - 60)) click 1 && sleep 1 && xdotool mousemove 600 700
  fi
  window_screenshot Settings settings-window
  if command -v xdotool >/dev/null; then xdotool key Escape; sleep 0.3; fi
}

echo "Starting Callwright.exe on display $DISPLAY"
wine Callwright.exe >/dev/null 2>&1 &
driver wait "Callwright" 30000 || { echo "Callwright's main window did not appear" >&2; exit 1; }
# Below Wine's own system tray window, which shows the notification-area icon at the top left.
driver move "Callwright" 24 64

echo "The substitute client places a demo call (3 s)..."
call 1001 "demo.partner" 3000
recording=$(ls -t Records/*_demo.partner.wav 2>/dev/null | head -n1 || true)
if [ -z "$recording" ]; then
  echo "No recording was written; the client's log:" >&2
  cat clientsim-1001.log >&2 || true
  exit 1
fi

# Two more calls, the last still running while the list is refreshed, so that it shows "BUSY".
call 1002 "live:jane" 500
call 1003 "anna.k" 15000 &
busy_call=$!
for _ in $(seq 1 100); do ls Records/*_anna.k.wav >/dev/null 2>&1 && break; sleep 0.1; done
driver click "Callwright" "&Refresh"
sleep 1
echo "Screenshots:"
screenshot main-window
# Sorted by Length (a click on its header) and searched for "an".
driver header "Callwright" 3
driver type "Callwright" "an"
sleep 1
window_screenshot Callwright main-window-sorted
# The pointer on the notification-area icon brings up its tooltip ("Callwright – recording anna.k").
if command -v xdotool >/dev/null; then
  xdotool mousemove 13 32 && sleep 1.5 && screenshot tray-tooltip && xdotool mousemove 600 700
fi

driver click "Callwright" "&Settings"
driver wait "Settings" 5000 && driver move "Settings" 440 24
sleep 1
settings_screenshot
driver click "Callwright" "&About"
driver wait "About" 5000 && driver move "About" 440 330
sleep 2
screenshot windows

wait "$busy_call" || true
echo
echo "Recording written: $demo/$recording"
echo "  (in Windows terms $(winepath -w "$demo/$recording" 2>/dev/null))"
echo "  size: $(stat -c %s "$recording") bytes"
echo "Commands the client received: $demo/clientsim-1001.log"

# Close answered Yes ends the program.
driver click "Callwright" "&Close"
driver answer "Close process" "&Yes" || true

# The four windows again at 150 % display scale: the prefix's LogPixels, read when a program starts.
for _ in $(seq 1 50); do pgrep -x Callwright.exe >/dev/null || break; sleep 0.1; done
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
at_100() { wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true; }
trap 'at_100; wine_env_stop' EXIT
echo
echo "Screenshots at 150 %:"
wine Callwright.exe >/dev/null 2>&1 &
driver wait "Callwright" 30000 || { echo "Callwright's main window did not appear at 150 %" >&2; exit 1; }
driver move "Callwright" 24 64
sleep 1
screenshot main-window-150
driver click "Callwright" "&About"
driver wait "About" 5000 && driver move "About" 524 4
driver click "Callwright" "&Settings"
driver wait "Settings" 5000 && driver move "Settings" 4 4
sleep 2
screenshot windows-150
# Closing the main window shows the notice about running on in the background.
driver close "Callwright"
driver wait "Info" 5000 && driver move "Info" 24 64
sleep 1
screenshot info-150
driver close "Info"
# A second start shows the hidden main window again; its Close ends the program.
wine Callwright.exe >/dev/null 2>&1 || true
driver click "Callwright" "&Close" || true
driver answer "Close process" "&Yes" || true
