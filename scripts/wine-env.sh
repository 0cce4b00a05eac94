# Sourced by the scripts that run Windows programs: a private Wine prefix per build folder, a
# virtual display when there is none, and a clean shutdown of both on exit (also on failure).
# Usage: wine_env_start <build folder> [prefix folder]; the prefix defaults to <build>/wineprefix.
# The EXIT trap calls wine_env_stop.

wine_env_start() {
  local build="$1"
  export WINEPREFIX="${2:-$(cd "$build" && pwd)/wineprefix}"
  export WINEDEBUG=-all
  # No Mono or Gecko installer dialogs in a fresh prefix.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine then uses code page 1252 and UTF-8 file names.
  export LC_ALL=C.UTF-8
  WINE_ENV_XVFB_PID=""
  if [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    WINE_ENV_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  trap wine_env_stop EXIT
  # Wine's helper services inherit stdout and stderr; started here with output to /dev/null they
  # cannot hold a caller's pipe open. The prefix is made once, before anything runs in parallel.
  # No persistent server before the wait: with one, "wineserver -w" never returns; the timeout
  # covers a stray process left in the prefix by an earlier run.
  wineboot -i >/dev/null 2>&1 </dev/null || true
  timeout 120 wineserver -w >/dev/null 2>&1 </dev/null || wineserver -k >/dev/null 2>&1 || true
  wine_env_fonts
  wineserver -p >/dev/null 2>&1 </dev/null || true
  # A crashing test ends at once instead of waiting in the crash dialog until the test timeout.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null || true
  # Without a window manager on the virtual display, hiding a managed window waits 2 s for one.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
}

wine_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${WINE_ENV_XVFB_PID:-}" ]; then
    kill "$WINE_ENV_XVFB_PID" >/dev/null 2>&1 || true
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
  fi
}

# Debian's Wine never reads its own fonts (fonts-wine's /usr/share/wine/fonts): it loads only the
# prefix's windows\Fonts folder and what fontconfig lists. Without Marlett the caption buttons are
# drawn as the letters "0 1 r", and without Tahoma "MS Shell Dlg" falls back to DejaVu Sans. Linked
# into windows\Fonts they are found as on a Wine that ships them in the prefix.
wine_env_fonts() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" dir file
  for dir in /usr/share/wine/fonts /usr/local/share/wine/fonts /opt/wine-stable/share/wine/fonts; do
    [ -d "$dir" ] || continue
    mkdir -p "$fonts"
    for file in "$dir"/*; do
      [ -e "$file" ] && ln -sf "$file" "$fonts/"
    done
    return 0
  done
}
