#!/usr/bin/env bash
# What the real-window measuring scripts share: finding the window, telling whether it shows text,
# reading the turn log and a process's CPU time. Sourced; needs WORK and DISPLAY set.

now() { date +%s.%N; }

# The program's main window (the largest of its visible ones), as "id x y width height".
main_window() {
    local best="" area=0 w
    # Only the measured program runs on this display.
    for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
        if [ $((WIDTH * HEIGHT)) -gt $area ]; then area=$((WIDTH * HEIGHT)); best="$w $X $Y $WIDTH $HEIGHT"; fi
    done
    echo "$best"
}

# Whether the middle of the window's text area shows text: enough pixels that stand out from the
# dominant colour.
text_visible() {
    local geometry
    geometry=$(main_window)
    [ -n "$geometry" ] || return 1
    set -- $geometry
    # TEXT_LEFT: where the looked-at area starts, in hundredths of the width (Kate's text starts further
    # left, so a text of short lines, a word list, shows none of it at 15).
    local cw=$(($4 * 45 / 100)) ch=$(($5 * 40 / 100)) cx=$(($2 + $4 * ${TEXT_LEFT:-15} / 100)) cy=$(($3 + $5 * 30 / 100))
    import -display "$DISPLAY" -window root -crop "${cw}x${ch}+${cx}+${cy}" -depth 8 rgb:- 2>/dev/null | python3 -c '
import sys, collections
d = sys.stdin.buffer.read()
px = [d[i:i+3] for i in range(0, len(d) - 2, 3)]
if not px: sys.exit(1)
common, n = collections.Counter(px).most_common(1)[0]
if common == b"\0\0\0": sys.exit(1)
far = sum(1 for p in px if sum(abs(a - b) for a, b in zip(p, common)) > 90)
sys.exit(0 if 0.01 < far / len(px) < 0.6 else 1)'
}

# The longest stretch (ms) the program's turn log reports as ending between two times; "-" when none.
longest_turn() {
    python3 - "$WORK/$1.log" "$2" "$3" <<'PY'
import sys
log, start, end = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
turns = [int(f[1]) for f in (l.split() for l in open(log, errors="replace"))
         if len(f) == 5 and f[0] == "turn" and f[3] == "ending" and start <= float(f[4]) <= end + 0.1]
print(max(turns) if turns else "-")
PY
}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# Until the process has used at most two ticks in each of two half seconds in a row (at most
# the number of half seconds given, five minutes unless given).
wait_quiet() {
    local quiet=0 a b
    for _ in $(seq "${2:-600}"); do
        a=$(cpu_ticks "$1"); sleep 0.5; b=$(cpu_ticks "$1")
        if [ $((b - a)) -le 2 ]; then quiet=$((quiet + 1)); else quiet=0; fi
        [ "$quiet" -lt 2 ] || break
    done
}

# Starts a virtual X server on a display number of its own, chosen by the server, and points DISPLAY
# at it; its process id goes into the caller's xvfb.
own_display() {
    local tries
    for tries in 1 2 3 4 5; do
        rm -f "$WORK/display"
        Xvfb -displayfd 3 -screen 0 1400x900x24 -br -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
        xvfb=$!
        until [ -s "$WORK/display" ] || ! kill -0 "$xvfb" 2>/dev/null; do sleep 0.05; done
        export DISPLAY=:$(head -1 "$WORK/display" 2>/dev/null)
        # A server that named its display but does not answer (another took the number meanwhile)
        # would end the program with a platform abort: start another.
        { ! command -v xdpyinfo >/dev/null || xdpyinfo >/dev/null 2>&1; } && return 0
        kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
    done
    echo "no display could be started" >&2
    return 1
}

# Waits until the process's CPU use has been back at its rest rate for half a second; prints when
# that quiet stretch began.
wait_idle() {
    local pid=$1 rate=$2 samples=() times=() ticks
    while :; do
        ticks=$(cpu_ticks "$pid")
        samples+=("$ticks"); times+=("$(now)")
        local n=${#samples[@]}
        if [ "$n" -gt 10 ]; then
            local used=$((ticks - samples[n - 11]))
            # 10 samples of 50 ms: at most the rest rate's share of half a second, plus rounding.
            if [ "$used" -le $((rate / 2 + 2)) ]; then echo "${times[n - 11]}"; return; fi
        fi
        sleep 0.05
    done
}

# Makes DIR a settings folder for this editor, onboarded, whose session holds the files given after
# the active one: CONFIG_DIR ACTIVE FILE...
brimel_config() {
    local dir=$1 active=$2 version
    shift 2
    mkdir -p "$dir/brimel"
    version=$(sed -n 's/^project([^ ]* VERSION \([0-9.]*\).*/\1/p' "$(dirname "${BASH_SOURCE[0]}")/../CMakeLists.txt")
    python3 - "$dir/brimel/settings.json" "$version" "$active" "$@" <<'PY'
import json, sys
path, version, active, *files = sys.argv[1:]
json.dump({"ziduduzovu.onboarded": True, "ziduduzovu.lastSeenVersion": version,
           "ziduduzovu.session.docs": files, "ziduduzovu.session.active": active}, open(path, "w"))
PY
}

# Makes DIR a settings folder for Kate with no language-server prompt in front of the text.
kate_config() {
    mkdir -p "$1"
    printf '[Kate Plugins]\nlspclientplugin=false\n' > "$1/katerc"
}

# The caller's measure NAME COMMAND..., once more when the program could not reach its new virtual
# display ("Could not load the Qt platform plugin"), which happens once in a while.
measure_retried() {
    local name=$1
    measure "$@" && return
    grep -q "Could not load the Qt platform plugin" "$WORK/$name.log" 2>/dev/null || return 1
    echo "$name: started again, the display was not reached" >&2
    measure "$@"
}
