#!/usr/bin/env bash
# Measures, in the real window, what wrapping every line again costs, and Kate's the same way in the
# same run, each on its own virtual X display, after the program has come to rest on the file:
#   narrower - the window made 1040 wide (its minimum), until idle
#   wider    - then 1380 wide again, until idle
#   font up  - the font one step larger (this editor: the settings window's size slider, one step
#              right; Kate: Ctrl++), until idle
#   font down - one step back (Left; Kate: Ctrl+-), until idle
#   wrap     - Kate only (this editor always wraps and has no such switch): dynamic word wrap off and
#              on again (F10), each until idle
# For this editor also the longest stretch of each in which the window could not answer (its
# BRIMEL_TURN_WATCH_MS log). SHOTS=prefix keeps pictures of the window at both widths.
# Usage: scripts/measure-rewrap.sh CASE:MEGABYTES [brimel binary=build/bench/brimel]
# CASE is a shape bench_text_shapes writes (code, words, numbers, hex, prose, cjk, minified, empty).
# Needs Xvfb, xdotool, ImageMagick's import, python3 and kate.
set -euo pipefail

SAMPLE=${1:?CASE:MEGABYTES}
BRIMEL=$(realpath "${2:-build/bench/brimel}")
WORK=$(mktemp -d /tmp/measure-rewrap.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; [ -n "${KEEP_MEASURE:-}" ] || rm -rf "$WORK"' EXIT
CASE=${SAMPLE%%:*}
MB=${SAMPLE#*:}
FILE="$WORK/sample.txt"
[ "$CASE" != code ] || FILE="$WORK/sample.js"
"$(dirname "$BRIMEL")/bench/bench_text_shapes" --write-sample="$CASE:$MB:$FILE"

. "$(dirname "${BASH_SOURCE[0]}")/measure-window.sh"

# Runs the keys or moves given, then prints how long until idle and, for this editor, the longest turn.
timed() {
    local label=$1; shift
    local from to turn=""
    from=$(now)
    "$@"
    to=$(wait_idle "$pid" "$rate")
    [ "$name" != brimel ] || turn="  longest turn $(longest_turn "$name" "$from" "$to") ms"
    python3 -c "print(f'{\"$name\":8} {\"$label\":10} to idle {$to - $from:7.3f} s$turn')"
}

resize_to() { xdotool windowsize --sync "$window" "$1" "$2" 2>/dev/null || xdotool windowsize "$window" "$1" "$2"; }

settings_step() {
    # The settings window takes the keys while open; its slider has the focus first.
    xdotool key --window "$settings" "$1"
}

measure() {
    local name=$1; shift
    local xvfb
    own_display
    (exec "$@") >"$WORK/$name.log" 2>&1 &
    pid=$!
    # Empty lines show nothing to tell them apart by: their case waits for rest alone.
    until [ "$CASE" = empty ] || text_visible "$pid"; do
        kill -0 "$pid" 2>/dev/null || { echo "$name: exited before showing text" >&2; kill $xvfb; return 1; }
        sleep 0.05
    done
    sleep 3
    wait_quiet "$pid"
    local a b
    a=$(cpu_ticks "$pid"); sleep 1; b=$(cpu_ticks "$pid")
    rate=$((b - a))
    local geometry
    geometry=$(main_window "$pid")
    window=${geometry%% *}
    xdotool windowmove "$window" 0 0
    resize_to 1380 880
    wait_idle "$pid" "$rate" >/dev/null
    xdotool mousemove 500 300 click 1
    wait_idle "$pid" "$rate" >/dev/null
    timed narrower resize_to 1040 720
    [ -z "${SHOTS:-}" ] || import -display "$DISPLAY" -window root "$SHOTS-$name-1040.png"
    timed wider resize_to 1380 880
    [ -z "${SHOTS:-}" ] || import -display "$DISPLAY" -window root "$SHOTS-$name-1380.png"
    if [ "$name" = brimel ]; then
        xdotool key ctrl+comma
        sleep 1
        settings=$(xdotool search --onlyvisible --name "Settings" | tail -1)
        wait_idle "$pid" "$rate" >/dev/null
        timed "font up" settings_step Right
        [ -z "${SHOTS:-}" ] || import -display "$DISPLAY" -window root "$SHOTS-$name-font.png"
        timed "font down" settings_step Left
    else
        timed "font up" xdotool key ctrl+plus
        [ -z "${SHOTS:-}" ] || import -display "$DISPLAY" -window root "$SHOTS-$name-font.png"
        timed "font down" xdotool key ctrl+minus
        timed "wrap off" xdotool key F10
        timed "wrap on" xdotool key F10
    fi
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    kill $xvfb 2>/dev/null || true
}

echo "file: $(du -h "$FILE" | cut -f1), $(basename "$FILE"), case $CASE"
CONFIG="$WORK/config"
brimel_config "$CONFIG" "$FILE" "$FILE"
[ -n "${SKIP_BRIMEL:-}" ] || XDG_CONFIG_HOME="$CONFIG" BRIMEL_TURN_WATCH_MS=20 measure brimel "$BRIMEL"
KCONFIG="$WORK/kconfig"
kate_config "$KCONFIG"
[ -n "${SKIP_KATE:-}" ] || XDG_CONFIG_HOME="$KCONFIG" measure kate kate -n "$FILE"
