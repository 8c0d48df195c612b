#!/usr/bin/env bash
# Measures whole-text edits and file operations in the real window, and Kate's the same way in the
# same run, each on its own virtual X display, once the program has come to rest on the file. Each
# step is timed until the program is idle again, with its resident memory then, and for this editor
# the longest stretch in which the window could not answer (its BRIMEL_TURN_WATCH_MS log):
#   select all, copy, ctrl+End, paste  - the whole text copied and pasted at its end
#   select all, cut, paste             - all of that cut and pasted back
#   save                               - Ctrl+S until the file is written; its bytes compared (cmp)
#                                        with the sample twice over
#   key + save, save + keys, save      - (the folder open, so outside changes reach the editor) on that
#                                        text, a key at the start and Ctrl+S; Ctrl+S with three keys typed during
#                                        the save; Ctrl+S again; the file compared after each save
#   outside change                     - the file rewritten by another program with a line added at
#                                        its start, until idle from two seconds on (the folder
#                                        watcher's wait, counted in); then a key and Ctrl+S, compared
#                                        (this editor only: Kate asks first)
#   close                              - Ctrl+W on the tab, and the memory two seconds later
# With TABS=N instead: N copies of the sample open as tabs; Ctrl+Tab through all of them and then
# Ctrl+W on each, every key until idle, and the memory once all are closed.
# Usage: scripts/measure-edits.sh CASE:MEGABYTES [brimel binary=build/bench/brimel]
# CASE is a shape bench_text_shapes writes (code, words, numbers, hex, prose, cjk, minified, empty).
# Needs Xvfb, xdotool, ImageMagick's import, python3 and kate.
set -euo pipefail

SAMPLE=${1:?CASE:MEGABYTES}
BRIMEL=$(realpath "${2:-build/bench/brimel}")
WORK=$(mktemp -d /tmp/measure-edits.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; [ -n "${KEEP_MEASURE:-}" ] || rm -rf "$WORK"' EXIT
CASE=${SAMPLE%%:*}
MB=${SAMPLE#*:}
EXT=txt
[ "$CASE" != code ] || EXT=js
FILE="$WORK/sample.$EXT"
"$(dirname "$BRIMEL")/bench/bench_text_shapes" --write-sample="$CASE:$MB:$WORK/pristine"
FILES=("$FILE")
if [ -n "${TABS:-}" ]; then
    FILES=()
    for i in $(seq -w 1 "$TABS"); do FILES+=("$WORK/tab$i.$EXT"); done
    FILE=${FILES[0]}
fi

. "$(dirname "${BASH_SOURCE[0]}")/measure-window.sh"

rss_mb() { awk '/VmRSS/ {print int($2 / 1024)}' "/proc/$1/status"; }
typed() { printf '%s' "$1" | xdotool type --delay 0 --file -; }

# Prints a step's figures: label, start, end.
report() {
    local turn=""
    [ "$name" != brimel ] || turn="   longest turn $(longest_turn "$name" "$2" "$3") ms"
    python3 -c "print(f'{\"$name\":8} {\"$1\":16} {$3 - $2:7.3f} s   {$(rss_mb "$pid"):5} MB$turn')"
}

# Sends keys, then reports until idle.
step() {
    local label=$1 from
    shift
    from=$(now)
    xdotool key --delay 0 "$@"
    report "$label" "$from" "$(wait_idle "$pid" "$rate")"
}

# Waits until the file has the size given and then no change for a second; prints its last change.
written() {
    python3 - "$FILE" "$1" <<'PY'
import os, sys, time
path, size = sys.argv[1], int(sys.argv[2])
last, still, deadline = None, time.time(), time.time() + 60
while time.time() < deadline:
    time.sleep(0.01)
    try:
        st = os.stat(path)
    except OSError:
        continue  # between a removal and a rename
    now = (st.st_mtime_ns, st.st_size)
    if now[1] != size:
        continue
    if now != last:
        last, still = now, time.time()
    elif time.time() - still >= 1:
        print(f"{last[0] / 1e9:.6f}")
        sys.exit(0)
print(f"{time.time():.6f}")
PY
}

# Ctrl+S until the file holds what EXPECT holds: reported, then compared.
save_as_expected() {
    local label=$1 from done
    from=$(now)
    xdotool key ctrl+s
    done=$(written "$(stat -c %s "$WORK/expect")")
    wait_idle "$pid" "$rate" >/dev/null
    report "$label" "$from" "$done"
    cmp -s "$FILE" "$WORK/expect" || echo "$name: $label: the file is not what was saved" >&2
}

clipboard() {
    step "select all" ctrl+a
    step copy ctrl+c
    step ctrl+End ctrl+End
    step paste ctrl+v
    step "select all" ctrl+a
    step cut ctrl+x
    step paste ctrl+v
    cat "$WORK/pristine" "$WORK/pristine" >"$WORK/expect"
    save_as_expected save
}

files() {
    cp "$FILE" "$WORK/base"  # as the steps before left it
    xdotool key ctrl+Home
    typed a
    wait_idle "$pid" "$rate" >/dev/null
    { printf a; cat "$WORK/base"; } >"$WORK/expect"
    save_as_expected "key + save"
    local from
    from=$(now)
    xdotool key ctrl+s
    typed bcd
    report "save + keys" "$from" "$(wait_idle "$pid" "$rate")"
    { printf abcd; cat "$WORK/base"; } >"$WORK/expect"
    save_as_expected save
    sleep 1
    from=$(now)
    { printf 'outside\n'; cat "$WORK/base"; } >"$FILE.new"
    mv "$FILE.new" "$FILE"
    sleep 2  # the folder watcher's latency
    report "outside change" "$from" "$(wait_idle "$pid" "$rate")"
    # Kate asks before it reloads a changed file: what it would save next is not the file's text.
    [ "$name" = brimel ] || return 0
    xdotool key ctrl+Home
    typed z
    { printf 'zoutside\n'; cat "$WORK/base"; } >"$WORK/expect"
    save_as_expected "key + save"
}

tabs() {
    local from
    from=$(now)
    for _ in "${FILES[@]}"; do xdotool key ctrl+Tab; wait_idle "$pid" "$rate" >/dev/null; done
    report "ctrl+Tab x$TABS" "$from" "$(now)"
    from=$(now)
    for _ in "${FILES[@]}"; do xdotool key ctrl+w; wait_idle "$pid" "$rate" >/dev/null; done
    report "ctrl+W x$TABS" "$from" "$(now)"
}

measure() {
    local name=$1 xvfb
    shift
    own_display
    for f in "${FILES[@]}"; do cp "$WORK/pristine" "$f"; done
    (exec "$@") >"$WORK/$name.log" 2>&1 &
    pid=$!
    until [ "$CASE" = empty ] || text_visible "$pid"; do
        kill -0 "$pid" 2>/dev/null || { echo "$name: exited before showing text" >&2; kill $xvfb; return 1; }
        sleep 0.05
    done
    sleep 3
    wait_quiet "$pid"
    rate=2
    local window
    window=$(main_window "$pid")
    set -- $window
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    xdotool mousemove $(($2 + $4 * 40 / 100)) $(($3 + $5 * 50 / 100)) click 1
    wait_idle "$pid" "$rate" >/dev/null
    echo "$(printf '%-8s' "$name") at rest $(rss_mb "$pid") MB"
    if [ -n "${TABS:-}" ]; then
        tabs
    else
        clipboard
        files
        step close ctrl+w
    fi
    sleep 2
    echo "$(printf '%-8s' "$name") after closing $(rss_mb "$pid") MB   peak $(awk '/VmHWM/ {print int($2 / 1024)}' "/proc/$pid/status") MB"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    kill $xvfb 2>/dev/null || true
}

echo "sample: $(du -h "$WORK/pristine" | cut -f1), case $CASE${TABS:+, $TABS tabs}"
CONFIG="$WORK/config"
brimel_config "$CONFIG" "$FILE" "${FILES[@]}"
# The folder open too, so that the file's outside change reaches the editor.
python3 - "$CONFIG/brimel/settings.json" "$WORK" <<'PY'
import json, sys
path, folder = sys.argv[1:]
settings = json.load(open(path))
settings["ziduduzovu.session.folder"] = folder
json.dump(settings, open(path, "w"))
PY
failed=0
[ -n "${SKIP_BRIMEL:-}" ] || XDG_CONFIG_HOME="$CONFIG" BRIMEL_TURN_WATCH_MS=20 measure_retried brimel "$BRIMEL" || failed=1
KCONFIG="$WORK/kconfig"
kate_config "$KCONFIG"
[ -n "${SKIP_KATE:-}" ] || TEXT_LEFT=9 XDG_CONFIG_HOME="$KCONFIG" measure_retried kate kate -n "${FILES[@]}" || failed=1
exit $failed
