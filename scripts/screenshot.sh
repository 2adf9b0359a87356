#!/usr/bin/env bash
# Starts the player on a private virtual X display, saves a PNG of its main window, ends it.
# Usage: scripts/screenshot.sh OUT.png [BUILD_DIR]
#   BUILD_DIR defaults to "build"; the velora target is configured and built there if needed.
# Environment (all optional):
#   VELORA_SCREENSHOT_THEME  "classic" (default, the dark sheet) or "day" (the light sheet)
#   VELORA_SCREENSHOT_LANG   "zh" (default) or "en"
#   VELORA_SCREENSHOT_DELAY  seconds to wait before the shot (default 4)
#   VELORA_SCREENSHOT_FULL   a second PNG path: also save the whole screen (dialogs included)
#   VELORA_SCREENSHOT_BUILD  "0" skips the build step when the player is already built
# The player runs with a temporary settings folder, so the user's own settings are neither read
# nor changed. An unreachable catalogue server only shows a warning box; the screen is made large
# enough that a box centred on it never covers the window in the shot.
set -euo pipefail

usage() { echo "usage: $0 OUT.png [BUILD_DIR]" >&2; exit 2; }
if [ $# -lt 1 ] || [ $# -gt 2 ]; then usage; fi
out=$1
case "$out" in *.png) ;; *) echo "screenshot: the output must be a .png file" >&2; exit 2 ;; esac
out_dir=$(dirname -- "$out")
[ -d "$out_dir" ] || { echo "screenshot: no such folder: $out_dir" >&2; exit 2; }
out=$(cd "$out_dir" && pwd)/$(basename -- "$out")

root=$(cd "$(dirname "$0")/.." && pwd)
dir=${2:-build}
case "$dir" in /*) ;; *) dir=$root/$dir ;; esac

theme=${VELORA_SCREENSHOT_THEME:-classic}
lang=${VELORA_SCREENSHOT_LANG:-zh}
delay=${VELORA_SCREENSHOT_DELAY:-4}
full=${VELORA_SCREENSHOT_FULL:-}
case "$theme" in classic) dark_mode=false ;; day) dark_mode=true ;;
    *) echo "screenshot: VELORA_SCREENSHOT_THEME must be classic or day" >&2; exit 2 ;; esac
case "$lang" in zh | en) ;; *) echo "screenshot: VELORA_SCREENSHOT_LANG must be zh or en" >&2; exit 2 ;; esac
case "$delay" in '' | *[!0-9.]*) echo "screenshot: VELORA_SCREENSHOT_DELAY must be a number of seconds" >&2; exit 2 ;; esac

for tool in Xvfb import convert xwininfo; do
    command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

player=$dir/src/velora
# Build only what the shot needs; an up-to-date tree costs a few seconds.
if [ "${VELORA_SCREENSHOT_BUILD:-1}" != 0 ] || [ ! -x "$player" ]; then
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        command -v ccache >/dev/null && export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
        cmake --preset default -S "$root" -B "$dir" >/dev/null
    fi
    cmake --build "$dir" --target velora -j"$(nproc)" >/dev/null
fi
[ -x "$player" ] || { echo "screenshot: $player was not built" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=
player_pid=
cleanup() {
    local status=$?
    set +e
    if [ -n "$player_pid" ]; then kill "$player_pid" 2>/dev/null; wait "$player_pid" 2>/dev/null; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the descriptor given.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 2400x1600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
read -r display_number <"$work/display" || { echo "screenshot: Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$display_number

mkdir -p "$work/config/Velora" "$work/data"
printf '[General]\ndarkMode=%s\nlanguage=%s\n' "$dark_mode" "$lang" >"$work/config/Velora/VeloraPlayer.conf"

XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data QT_QPA_PLATFORM=xcb \
    "$player" >"$work/player.log" 2>&1 &
player_pid=$!

sleep "$delay"
if ! kill -0 "$player_pid" 2>/dev/null; then
    echo "screenshot: the player ended before the shot; its output:" >&2
    cat "$work/player.log" >&2
    player_pid=
    exit 1
fi

# The main window is the top-level window of the fixed size 960x520.
window=$(xwininfo -root -children | awk '/ 960x520\+/ { print $1; exit }')
if [ -z "$window" ]; then
    echo "screenshot: no 960x520 window on the display; top-level windows:" >&2
    xwininfo -root -children >&2
    exit 1
fi
# Without a compositor the 10-pixel shadow band around the panels comes out black: leave it off.
import -window "$window" "$work/window.png"
convert "$work/window.png" -shave 10x10 +repage "$out"
if [ -n "$full" ]; then import -window root "$full"; fi
echo "$out"
