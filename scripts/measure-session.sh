#!/usr/bin/env bash
# Measures starting the editor on a restored session of many tabs, and Kate given the same files on
# its command line in the same run, each on its own virtual X display:
#   open   - from starting the program until the active tab's text shows
#   turns  - (this editor) the longest stretch in which the window could not answer from start until
#            idle, and while Ctrl is held and Tab pressed once per tab (every tab visited once)
# The files: small and large sources in several languages, request files (.http, .bru), a few of
# 1-5 MB and one of 100 MB; the active one (the last) is small.
# Usage: scripts/measure-session.sh [tabs=60] [brimel binary=build/bench/brimel]
# ONE_TAB=1 gives both programs the active file alone, to compare the start against.
# Needs Xvfb, xdotool, ImageMagick's import, python3 and kate.
set -euo pipefail

TABS=${1:-60}
BRIMEL=$(realpath "${2:-build/bench/brimel}")
WORK=$(mktemp -d /tmp/measure-session.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; [ -n "${KEEP_MEASURE:-}" ] || rm -rf "$WORK"' EXIT

python3 - "$WORK/files" "$TABS" >"$WORK/list" <<'PY'
import os, sys
folder, tabs = sys.argv[1], int(sys.argv[2])
os.makedirs(folder)
line = {
    "js": "function f{i}(a, b) {{ return a.map((x) => x * {i} + b); }} // \"note\" {i}\n",
    "py": "def f{i}(a, b):\n    return [x * {i} + b for x in a]  # note {i}\n",
    "rs": "fn f{i}(a: &[i32], b: i32) -> Vec<i32> {{ a.iter().map(|x| x * {i} + b).collect() }}\n",
    "c": "static int f{i}(int a, int b) {{ return a * {i} + b; /* note */ }}\n",
    "go": "func f{i}(a, b int) int {{ return a*{i} + b }}\n",
    "json": "{{\"key{i}\": [1, 2, {i}], \"name\": \"value {i}\"}}\n",
    "md": "Some words about item {i}, with *emphasis* and `code`.\n",
    "css": ".rule{i} {{ color: #{i:06x}; margin: {i}px; }}\n",
    "txt": "plain words and numbers {i} without much else\n",
    "http": "### request {i}\nGET https://example.invalid/items/{i}\nAccept: application/json\n\n",
    "bru": "meta {{\n  name: request {i}\n  type: http\n  seq: {i}\n}}\n\nget {{\n  url: https://example.invalid/{i}\n}}\n\n",
}
kinds = list(line)
big = {7: 1, 17: 2, 27: 5}  # megabytes
paths = []
for n in range(tabs):
    kind = kinds[n % len(kinds)]
    path = os.path.join(folder, f"file{n:02d}.{kind}")
    if n == tabs // 2:  # the one of 100 MB, plain words
        path = os.path.join(folder, f"file{n:02d}.txt")
        with open(path, "w") as f:
            chunk = "".join(line["txt"].format(i=i) for i in range(20000))
            while f.tell() < 100 * 1024 * 1024:
                f.write(chunk)
    else:
        size = big.get(n, 0) * 1024 * 1024 or 2000 + 600 * n
        with open(path, "w") as f:
            i = 0
            while f.tell() < size:
                f.write(line[kind].format(i=i)); i += 1
    paths.append(path)
print("\n".join(paths))
PY
mapfile -t FILES <"$WORK/list"
ACTIVE=${FILES[-1]}
[ -z "${ONE_TAB:-}" ] || FILES=("$ACTIVE")

. "$(dirname "${BASH_SOURCE[0]}")/measure-window.sh"

measure() {
    local name=$1; shift
    local xvfb
    own_display
    local start pid shown
    start=$(now)
    (exec "$@") >"$WORK/$name.log" 2>&1 &
    pid=$!
    until text_visible; do
        kill -0 "$pid" 2>/dev/null || { echo "$name: exited before showing text" >&2; tail -5 "$WORK/$name.log" >&2; kill $xvfb; return 1; }
        sleep 0.02
    done
    shown=$(now)
    wait_quiet "$pid" 120
    local settled cycled="" cycleEnd
    settled=$(now)
    if [ "$name" = brimel ]; then
        local w
        w=$(main_window | cut -d' ' -f1)
        xdotool windowactivate --sync "$w" 2>/dev/null || xdotool windowfocus --sync "$w" 2>/dev/null || true
        local cycleStart
        cycleStart=$(now)
        xdotool keydown ctrl
        for _ in $(seq "${#FILES[@]}"); do xdotool key --delay 0 Tab; sleep 0.03; done
        xdotool keyup ctrl
        wait_quiet "$pid" 120
        cycleEnd=$(now)
        cycled="   longest turn: start to idle $(longest_turn "$name" "$start" "$settled") ms, Ctrl+Tab x${#FILES[@]} $(longest_turn "$name" "$cycleStart" "$cycleEnd") ms"
    fi
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    kill $xvfb 2>/dev/null || true
    python3 -c "print(f'{\"$name\":8} open-to-text {$shown - $start:6.2f} s$cycled')"
}

echo "session: ${#FILES[@]} tabs of $(du -ch "${FILES[@]}" | tail -1 | cut -f1)"
CONFIG="$WORK/config"
brimel_config "$CONFIG" "$ACTIVE" "${FILES[@]}"
[ -n "${SKIP_BRIMEL:-}" ] || XDG_CONFIG_HOME="$CONFIG" BRIMEL_TURN_WATCH_MS=20 measure brimel "$BRIMEL"

KCONFIG="$WORK/kconfig"
kate_config "$KCONFIG"
[ -n "${SKIP_KATE:-}" ] || XDG_CONFIG_HOME="$KCONFIG" measure kate kate -n "${FILES[@]}"
