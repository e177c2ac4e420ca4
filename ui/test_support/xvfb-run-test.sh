#!/usr/bin/env bash
# Runs one Windows window test under wine64 on a private Xvfb display with the Japanese
# locale, and ends every process it started (the display, and the wine processes of its
# own prefix).
#   xvfb-run-test.sh BUILD_DIR PROGRAM [ARGS...]
# With KESTOVA_SHOT_TITLE (a window-name pattern) and KESTOVA_SHOT_FILE set, it waits for
# that window, takes a screenshot of the whole display into KESTOVA_SHOT_FILE, and then
# creates the file named by KESTOVA_SHOT_DONE (the program waits for it before closing).
set -uo pipefail
build=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
export WINEPREFIX=$build/wineprefix-ui KESTOVA_WINE_BUILD=$build

display=
xvfb_pid=
for n in $(seq 90 199); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [ -S "/tmp/.X11-unix/X$n" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$xvfb_pid" 2>/dev/null && [ -S "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
  kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=
done
if [ -z "$display" ]; then echo "no Xvfb display could be started"; exit 1; fi
export DISPLAY=$display

cleanup() {
  wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
  "$wineserver" -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

# Without a window manager, Wine waits up to 2 s for every managed window it hides;
# unmanaged windows go at once.
if [ ! -f "$WINEPREFIX/.kestova-unmanaged" ]; then
  "$root/.ci/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 &&
    touch "$WINEPREFIX/.kestova-unmanaged"
fi

done_file=${KESTOVA_SHOT_DONE:-}
done_file=${done_file#Z:}  # the program gets it as a Windows path on drive Z:
[ -n "$done_file" ] && rm -f "$done_file"
"$root/.ci/wine-run" "$@" &
program=$!
if [ -n "${KESTOVA_SHOT_TITLE:-}" ] && [ -n "${KESTOVA_SHOT_FILE:-}" ]; then
  if timeout 90 xdotool search --sync --onlyvisible --name "$KESTOVA_SHOT_TITLE" >/dev/null; then
    sleep 1
    import -window root "$KESTOVA_SHOT_FILE" && echo "screenshot: $KESTOVA_SHOT_FILE"
  else
    echo "the window '$KESTOVA_SHOT_TITLE' did not appear"
  fi
  [ -n "$done_file" ] && touch "$done_file"
fi
wait "$program"
