#!/usr/bin/env bash
# Measures the editor's real window the way a user meets it, and Kate's the same way in the same
# run, each on its own virtual X display:
#   open   - from starting the program on a file (restored from the session) until text shows, and
#            until it has been at rest for a second ("quiet", looked for from 3 s after the text shows)
#   type   - 50 characters typed into the middle of the window's text area (near the file's start), until the
#            program is idle again
#   page   - then ten Page Down presses, until the program is idle again
#   moves  - Ctrl+End, then ten Home/End presses, then a click, a double click and a drag in the text, each
#            until idle again, also as the UI thread's CPU time meanwhile beyond its rate at rest
#   peak   - the program's peak resident memory with the file open, and after the typing
# Usage: scripts/measure-editor.sh [megabytes=10 | an existing file | CASE:MEGABYTES] [brimel binary=build/bench/brimel]
# A CASE measures instead, on a sample the benchmark program build/bench/bench/bench_real_code writes:
#   real   - JavaScript shaped like real code (deep nesting, escaped quotes, regular-expression and
#            template literals); the 50 characters are typed 90% of the way in, reached by going to
#            that line (Ctrl+G)
#   json   - JSON nesting 20 objects on every line: 3 keys typed into the middle of the window until
#            idle, then 5 Page Downs until idle
#   paste  - a file of that many megabytes of such JavaScript copied whole (Ctrl+A, Ctrl+C) and pasted at
#            its end, then 3 keys, until idle
#   empty  - that many megabytes of empty lines (1 MB is 1,048,576 lines): from starting the program
#            until it is idle
#   short  - the same for that many megabytes of short lines ("a" and a line feed, 524,288 lines a MB)
#   line   - a minified file: that many megabytes of JavaScript on one line
#   code, words, numbers, hex, prose, cjk, minified, nested
#          - a text of that shape (build/bench/bench/bench_text_shapes writes it: JavaScript, a word
#            list, numeric columns, a hex dump, prose, CJK prose, one minified line, JSON nested a level
#            a line), measured as
#            the plain case: the 50 characters go into the middle of the window's first screen; then
#            a Replace All of a token found a few times a kilobyte (the benchmark's) and its undo, each
#            until idle, for this editor with its longest turn; then one key and Ctrl+S until the
#            file on disk changes
#   ops    - real JavaScript (libraries and grammar sources joined, after a block of 200,000 lines):
#            going to line 850000 (Ctrl+G), then "e" typed into the open find bar (Ctrl+F), then a
#            Replace All of "prototype" and its undo, then the block at the top folded, each until idle
#            (the find from the process's CPU time read every 2 ms, being over in milliseconds);
#            for this editor also the longest stretch of each in which the window could not answer
#            (its BRIMEL_TURN_WATCH_MS log)
# Kate opens a file with a line over 10,000 characters read-only (its typing figures then measure keys
# that change nothing); KATE_NO_LINE_LIMIT=1 measures it with that limit lifted.
# Needs Xvfb, xdotool, ImageMagick's import, python3 and kate.
set -euo pipefail

MB=${1:-10}
BRIMEL=$(realpath "${2:-build/bench/brimel}")
WORK=$(mktemp -d /tmp/measure-editor.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; [ -n "${KEEP_MEASURE:-}" ] || rm -rf "$WORK"' EXIT
FILE="$WORK/sample.js"
CASE=plain
QUERY=""  # a shape case replaces this token everywhere, after the plain case

if [[ "$MB" == *:* ]]; then
    CASE=${MB%%:*}
    MB=${MB#*:}
    SAMPLES="$(dirname "$BRIMEL")/bench/bench_real_code"
    case $CASE in
        real) "$SAMPLES" --write-sample="js:$MB:$FILE" ;;
        json) FILE="$WORK/sample.json"; "$SAMPLES" --write-sample="json:$MB:$FILE" ;;
        paste) "$SAMPLES" --write-sample="js:$MB:$FILE" ;;
        empty|short) FILE="$WORK/sample.txt"; "$SAMPLES" --write-sample="$CASE:$MB:$FILE" ;;
        ops) "$SAMPLES" --write-sample="realjs:$MB:$FILE" ;;
        line) python3 - "$FILE" "$MB" <<'PY'
import sys
path, mb = sys.argv[1], int(sys.argv[2])
out, i, size = [], 0, 0
while size < mb * 1024 * 1024:
    block = (f"var m{i}=function(e,t,n){{\"use strict\";const c{i}=new Map(),l={i * 37 % 1000}.5e1;"
             f"class S{i} extends B{{constructor(o){{super(o);this.k='k-{i}'}}get(d){{return c{i}.get(d)||`v${{d}}`}}}}"
             f"e.exports={{name:\"m{i}\",re:/[a-z]+\\d{{2,}}/gi,list:[1,2,3,{i}],f:function(a){{return a&&a.x?a.x*2:null}}}}}};")
    out.append(block); size += len(block); i += 1
open(path, "w").write("".join(out))
PY
            ;;
        code|words|numbers|hex|prose|cjk|minified|nested)
            [ "$CASE" = code ] || FILE="$WORK/sample.txt"
            [ "$CASE" = nested ] && FILE="$WORK/sample.json"
            case $CASE in
                code|minified) QUERY=items.length REPLACEMENT=items.size ;;
                words) QUERY=kilo REPLACEMENT=kilogram ;;
                numbers) QUERY=-7e+3 REPLACEMENT=-7.00e+03 ;;
                hex) QUERY="ff 06" REPLACEMENT="0xff 06" ;;
                prose) QUERY="on 7 times" REPLACEMENT="on seven times" ;;
                # The one digit of each line, as often as the benchmark's token: xdotool types no CJK.
                cjk) QUERY=7 REPLACEMENT=77 ;;
                nested) QUERY="[7," REPLACEMENT="[7.5," ;;
            esac
            "$(dirname "$BRIMEL")/bench/bench_text_shapes" --write-sample="$CASE:$MB:$FILE" ;;
        *) echo "unknown case $CASE" >&2; exit 2 ;;
    esac
elif [ -f "$MB" ]; then FILE=$(realpath "$MB"); else python3 - "$FILE" "$MB" <<'PY'
import sys
path, mb = sys.argv[1], int(sys.argv[2])
out, i = [], 0
size = 0
while size < mb * 1024 * 1024:
    block = (f"// helper number {i} with a \"quoted\" word\n"
             f"export function helper{i}(items, options = {{}}) {{\n"
             f"  const total = items.reduce((sum, x) => sum + x * {i}, 0);\n"
             f"  if (options.verbose) {{\n"
             f"    console.log(`total ${{total}}`, [1, 2, 3]);\n"
             f"  }}\n"
             f"  return {{ total, name: 'helper{i}' }};\n"
             f"}}\n\n")
    out.append(block); size += len(block); i += 1
open(path, "w").write("".join(out))
PY
fi

. "$(dirname "${BASH_SOURCE[0]}")/measure-window.sh"

# The CPU time of the process's main (UI) thread so far, in nanoseconds.
ui_ns() { awk '{print $1}' "/proc/$1/task/$1/schedstat"; }
# The UI thread's CPU time in milliseconds since UI_FROM (ui_ns) at UI_SINCE (now), less its rest rate.
ui_spent() {
    local spent=$(($(ui_ns "$1") - UI_FROM))
    python3 -c "print(f'{max(0.0, ($spent - $UI_REST * ($(now) - $UI_SINCE)) / 1e6):.1f}')"
}
peak_kb() { awk '/VmHWM/ {print $2}' "/proc/$1/status"; }

# The process's CPU use at rest (ticks per second: some programs animate while idle), and its UI
# thread's (nanoseconds per second: a blinking caret).
rest_rates() {
    local a b c d
    a=$(cpu_ticks "$1"); c=$(ui_ns "$1"); sleep 1; b=$(cpu_ticks "$1"); d=$(ui_ns "$1")
    echo $((b - a)) $((d - c))
}

# Types a text into the focused window, read from standard input: one starting with "-" is not an option.
typed() { printf '%s' "$1" | xdotool type --delay 0 --file -; }

# A Replace All of $QUERY by $REPLACEMENT (case-sensitive in this editor), then its undo, each until
# idle, in the program measure() runs: sets the caller's replaced, replacedIdle, undone and undoneIdle.
# The bars are driven by clicks placed for the windows as they open here (this editor's replace row
# and case toggle), from the window's top left corner (WX, WY: a window
# opens centred on the screen or at its corner); the undo key goes to the text.
replace_then_undo() {
    xdotool key Escape ctrl+Home
    wait_idle "$pid" "$rate" >/dev/null
    if [ "$name" = brimel ]; then
        xdotool key ctrl+f; sleep 0.5
        xdotool mousemove $((WX + 609)) $((WY + 92)) click 1; sleep 0.5
        xdotool mousemove $((WX + 870)) $((WY + 89)) click 1
        typed "$QUERY"
        xdotool mousemove $((WX + 656)) $((WY + 116)) click 1
    else
        xdotool key ctrl+r; sleep 0.5
        typed "$QUERY"
        xdotool key Tab
    fi
    typed "$REPLACEMENT"
    wait_idle "$pid" "$rate" >/dev/null
    replaced=$(now)
    if [ "$name" = brimel ]; then xdotool mousemove $((WX + 1004)) $((WY + 115)) click 1
    else xdotool key alt+a; fi  # Kate's "Replace All", wherever its bar lies
    replacedIdle=$(wait_idle "$pid" "$rate")
    [ -z "${SHOTS:-}" ] || import -display "$DISPLAY" -window root "$SHOTS-$name-replaced.png"
    if [ "$name" = brimel ]; then xdotool mousemove $((WX + 700)) $((WY + 500)) click 1
    else xdotool mousemove $((WX + 300)) $((WY + 250)) click 1; fi
    wait_idle "$pid" "$rate" >/dev/null
    undone=$(now)
    xdotool key ctrl+z
    undoneIdle=$(wait_idle "$pid" "$rate")
    [ -z "${SHOTS:-}" ] || import -display "$DISPLAY" -window root "$SHOTS-$name-undone.png"
}

# The same, printed; for this editor also the longest turn of each.
replace_and_undo() {
    local replaced replacedIdle undone undoneIdle turns=""
    replace_then_undo
    [ "$name" != brimel ] ||
        turns="   longest turn (ms): replace all $(longest_turn "$name" "$replaced" "$replacedIdle")   undo $(longest_turn "$name" "$undone" "$undoneIdle")"
    echo "$(printf '%-8s' "$name") \"$QUERY\" replace all to idle $(python3 -c "print(f'{$replacedIdle - $replaced:6.3f}')") s   undo to idle $(python3 -c "print(f'{$undoneIdle - $undone:6.3f}')") s$turns"
}

# One key typed into the text, then Ctrl+S, until the file on disk holds the saved text: its last write,
# once it has had none for two seconds (a program that writes the file in place changes it at its
# first write; killing it then would cut the file). At most five minutes.
key_then_save() {
    python3 - "$FILE" "$name" <<'PY'
import os, subprocess, sys, time
path, name = sys.argv[1], sys.argv[2]
def stamp():
    try:
        st = os.stat(path)
        return st.st_mtime_ns, st.st_size
    except OSError:
        return None  # between a removal and a rename
# The file as it was before the keys: a quick save is over before a poll could start after them.
before, keyed = stamp(), time.time()
subprocess.run(["xdotool", "type", "--delay", "0", "z"], check=True)
subprocess.run(["xdotool", "key", "ctrl+s"], check=True)
last, still = None, time.time()
deadline = time.time() + 300
while time.time() < deadline:
    time.sleep(0.01)
    now = stamp()
    if now is None or now == before:
        continue
    if now != last:
        last, still = now, time.time()
    elif time.time() - still >= 2:
        break
if last is None:
    print(f"{name:8} one key + ctrl+S: the file did not change")
else:
    print(f"{name:8} one key + ctrl+S until the file is written {last[0] / 1e9 - keyed:6.3f} s")
PY
}

# Runs a command (a key sent) and prints when it started, when the work it caused ended and the CPU
# time that work took in milliseconds, for work of a few milliseconds: the CPU time of all the
# process's threads in nanoseconds, read every 2 ms, against its rate at rest measured just before.
# The work has ended once a half second has passed using no more than that rate and 20 ms, as in
# wait_idle; it ended at the last 2 ms until then in which the process used more than half a core
# beyond its rate at rest (or as the key was sent, when there was none).
fine_idle() {
    python3 - "$@" <<'PY'
import os, subprocess, sys, time
pid, command = sys.argv[1], sys.argv[2:]
def cpu():
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            total += int(open(f"/proc/{pid}/task/{task}/schedstat").read().split()[0])
        except (OSError, ValueError, IndexError):
            pass  # a thread that ended meanwhile
    return total
a, ta = cpu(), time.time()
time.sleep(1)
rest = (cpu() - a) / (time.time() - ta)  # ns per second
start = time.time()
key = subprocess.Popen(command)
samples = [(start, cpu())]
first = 0  # the earliest start of a quiet half second not yet ruled out
while True:
    time.sleep(0.002)
    now, used = time.time(), cpu()
    samples.append((now, used))
    while now - samples[first][0] >= 0.5:
        if key.poll() is not None and used - samples[first][1] <= rest * (now - samples[first][0]) + 20e6:
            end = start
            for (t0, c0), (t1, c1) in zip(samples, samples[1:]):
                if c1 - c0 - rest * (t1 - t0) > 0.5e9 * (t1 - t0):
                    end = t1
            spent = max(0.0, (used - samples[0][1] - rest * (now - start)) / 1e6)
            print(f"{start:.6f} {end:.6f} {spent:.1f}")
            sys.exit(0)
        first += 1
PY
}

measure() {
    local name=$1; shift
    local xvfb
    own_display

    local start pid shown
    start=$(now)
    (exec "$@") >"$WORK/$name.log" 2>&1 &
    pid=$!
    if [ "$CASE" = empty ] || [ "$CASE" = short ]; then
        # Nothing to tell such lines apart by on screen: until the program is first at rest.
        sleep 0.2
        shown=$(wait_idle "$pid" 0)
        python3 -c "print(f'{\"$name\":8} start to idle {$shown - $start:6.2f} s')"
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        kill $xvfb 2>/dev/null || true
        return
    fi
    # Bounded, so a program that never shows this text (Kate on a long line with its limit lifted)
    # is reported instead of waited for; TEXT_DEADLINE seconds, ten minutes unless set.
    until text_visible "$pid"; do
        kill -0 "$pid" 2>/dev/null || { echo "$name: exited before showing text" >&2; tail -5 "$WORK/$name.log" >&2; kill $xvfb; return 1; }
        if python3 -c "import sys; sys.exit(0 if $(now) - $start > ${TEXT_DEADLINE:-600} else 1)"; then
            echo "$name: showed no text in ${TEXT_DEADLINE:-600} s" >&2
            kill -9 "$pid" 2>/dev/null || true; kill $xvfb; return 1
        fi
        sleep 0.02
    done
    shown=$(now)
    sleep 3  # let the colours and anything else started at opening finish
    # A long file may still be going into the window: wait for a quiet second (at most five
    # minutes) before taking the rate at rest; the gestures below are timed against that rate, so
    # they mean nothing while the program is still busy ("at rest" then shows it).
    wait_quiet "$pid"
    local rate rested
    rested=$(now)
    read -r rate UI_REST <<<"$(rest_rates "$pid")"
    wait_idle "$pid" "$rate" >/dev/null
    local openPeak
    openPeak=$(peak_kb "$pid")

    # Caret into the middle of the text area, then 50 characters as fast as the keyboard sends them.
    local window
    window=$(main_window "$pid")
    set -- $window
    local WX=$2 WY=$3
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    if [ "$CASE" = real ]; then
        xdotool mousemove $(($2 + $4 * 40 / 100)) $(($3 + $5 * 50 / 100)) click 1
        xdotool key ctrl+g; sleep 1
        xdotool type --delay 20 "$(( $(wc -l < "$FILE") * 9 / 10 ))"; xdotool key Return
        wait_idle "$pid" "$rate" >/dev/null
    fi
    xdotool mousemove $(($2 + $4 * 40 / 100)) $(($3 + $5 * 50 / 100)) click 1
    wait_idle "$pid" "$rate" >/dev/null
    if [ "$CASE" = ops ]; then
        local went wentIdle found foundIdle
        went=$(now)
        xdotool key ctrl+g; xdotool type --delay 0 "850000"; xdotool key Return
        wentIdle=$(wait_idle "$pid" "$rate")
        # The find bar opened first: its opening is not the search.
        xdotool key ctrl+f
        wait_idle "$pid" "$rate" >/dev/null
        # Over in milliseconds in both programs: timed finer than the 50 ms steps of wait_idle.
        local foundCpu
        read -r found foundIdle foundCpu <<<"$(fine_idle "$pid" xdotool type --delay 0 "e")"
        wait_idle "$pid" "$rate" >/dev/null
        # Case-sensitive "prototype" replaced by "proto_type" everywhere, then that undone, each until idle.
        local replaced replacedIdle undone undoneIdle
        QUERY=prototype REPLACEMENT=proto_type replace_then_undo
        # Back to the top, then the 200,000-line block there folded: in this editor a click on the
        # first line's chevron in the gutter (placed for the 1280-wide window), in Kate "Fold
        # Toplevel Nodes".
        xdotool key Escape ctrl+Home
        wait_idle "$pid" "$rate" >/dev/null
        local folded foldedIdle
        folded=$(now)
        if [ "$name" = brimel ]; then xdotool mousemove $(($2 + 381)) $(($3 + 77)) click 1
        else xdotool key ctrl+shift+minus; fi
        foldedIdle=$(wait_idle "$pid" "$rate")
        [ -z "${SHOTS:-}" ] || import -display "$DISPLAY" -window root "$SHOTS-$name-folded.png"
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        kill $xvfb 2>/dev/null || true
        python3 -c "print(f'{\"$name\":8} open-to-text {$shown - $start:6.2f} s   go to line 850000 to idle {$wentIdle - $went:6.3f} s   find e to idle {$foundIdle - $found:6.3f} s ($foundCpu ms CPU)   fold to idle {$foldedIdle - $folded:6.3f} s   replace all to idle {$replacedIdle - $replaced:6.3f} s   undo to idle {$undoneIdle - $undone:6.3f} s')"
        [ "$name" != brimel ] || echo "$(printf '%-8s' "$name") longest turn (ms): go to line $(longest_turn "$name" "$went" "$wentIdle")   find e $(longest_turn "$name" "$found" "$foundIdle")   fold $(longest_turn "$name" "$folded" "$foldedIdle")   replace all $(longest_turn "$name" "$replaced" "$replacedIdle")   undo $(longest_turn "$name" "$undone" "$undoneIdle")"
        return
    fi
    local typed idle
    if [ "$CASE" = paste ]; then
        xdotool key ctrl+a ctrl+c ctrl+End
        wait_idle "$pid" "$rate" >/dev/null
    fi
    typed=$(now)
    if [ "$CASE" = json ] || [ "$CASE" = paste ]; then
        if [ "$CASE" = paste ]; then xdotool key ctrl+v; fi
        xdotool type --delay 0 "abc"
        idle=$(wait_idle "$pid" "$rate")
        local what="3 keys"
        [ "$CASE" = json ] || what="paste, 3 keys"
        if [ "$CASE" = json ]; then
            local paged
            paged=$(now)
            xdotool key --delay 0 Next Next Next Next Next
            local pagedIdle
            pagedIdle=$(wait_idle "$pid" "$rate")
            what="$what to idle $(python3 -c "print(f'{$idle - $typed:6.3f}')") s   5 pages down to idle $(python3 -c "print(f'{$pagedIdle - $paged:6.3f}')")"
        else
            what="$what to idle $(python3 -c "print(f'{$idle - $typed:6.3f}')")"
        fi
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        kill $xvfb 2>/dev/null || true
        echo "$(printf '%-8s' "$name") open-to-text $(python3 -c "print(f'{$shown - $start:6.2f}')") s   $what s"
        return
    fi
    xdotool type --delay 0 "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwx"
    idle=$(wait_idle "$pid" "$rate")
    # SHOTS=prefix keeps a picture of the window after the typing.
    [ -z "${SHOTS:-}" ] || import -display "$DISPLAY" -window root "$SHOTS-$name.png"
    # Ten pages down, as fast as the keyboard sends them.
    local paged
    paged=$(now)
    xdotool key --delay 0 Next Next Next Next Next Next Next Next Next Next
    local pagedIdle
    pagedIdle=$(wait_idle "$pid" "$rate")
    # Caret moves: to the end of the text, along the line, and a click.
    local moved movedIdle homed homedIdle clicked clickedIdle
    moved=$(now)
    xdotool key --delay 0 ctrl+End
    movedIdle=$(wait_idle "$pid" "$rate")
    homed=$(now)
    xdotool key --delay 0 Home End Home End Home End Home End Home End
    homedIdle=$(wait_idle "$pid" "$rate")
    # Each gesture also by the UI thread's CPU from the gesture until idle, less what it spends at rest.
    local clickCpu doubleCpu dragCpu
    clicked=$(now)
    UI_SINCE=$clicked UI_FROM=$(ui_ns "$pid")
    xdotool mousemove $(($2 + $4 * 50 / 100)) $(($3 + $5 * 40 / 100)) click 1
    clickedIdle=$(wait_idle "$pid" "$rate")
    clickCpu=$(ui_spent "$pid")
    # A double click (a word), then a drag over a few lines.
    local doubled doubledIdle dragged draggedIdle
    doubled=$(now)
    UI_SINCE=$doubled UI_FROM=$(ui_ns "$pid")
    xdotool mousemove $(($2 + $4 * 45 / 100)) $(($3 + $5 * 45 / 100)) click --repeat 2 --delay 80 1
    doubledIdle=$(wait_idle "$pid" "$rate")
    doubleCpu=$(ui_spent "$pid")
    dragged=$(now)
    UI_SINCE=$dragged UI_FROM=$(ui_ns "$pid")
    xdotool mousemove $(($2 + $4 * 30 / 100)) $(($3 + $5 * 35 / 100)) mousedown 1 \
        mousemove $(($2 + $4 * 40 / 100)) $(($3 + $5 * 45 / 100)) mousemove $(($2 + $4 * 50 / 100)) $(($3 + $5 * 55 / 100)) mouseup 1
    draggedIdle=$(wait_idle "$pid" "$rate")
    dragCpu=$(ui_spent "$pid")
    local endPeak replacing=""
    endPeak=$(peak_kb "$pid")
    [ -z "$QUERY" ] || replacing=$(replace_and_undo)
    # Last, as it changes the file: the undo left the caret in the text.
    local saving=""
    [ -z "$QUERY" ] || saving=$(key_then_save)
    kill -9 "$pid" 2>/dev/null || true  # no save prompt for the typed text
    wait "$pid" 2>/dev/null || true
    kill $xvfb 2>/dev/null || true
    python3 -c "print(f'{\"$name\":8} open-to-text {$shown - $start:6.2f} s   quiet {$rested - $start:6.2f} s   50 keys to idle {$idle - $typed:6.3f} s   10 pages down to idle {$pagedIdle - $paged:6.3f} s   ctrl+End {$movedIdle - $moved:6.3f} s   10 Home/End {$homedIdle - $homed:6.3f} s   click {$clickedIdle - $clicked:6.3f} s ($clickCpu ms UI CPU)   double click {$doubledIdle - $doubled:6.3f} s ($doubleCpu ms)   drag {$draggedIdle - $dragged:6.3f} s ($dragCpu ms)   at rest {$UI_REST / 1e6:.1f} ms/s   peak open {$openPeak/1024:6.0f} MB   peak at the end {$endPeak/1024:6.0f} MB')"
    [ -z "$replacing" ] || echo "$replacing"
    [ -z "$saving" ] || echo "$saving"
}

echo "file: $(du -h "$FILE" | cut -f1), $(basename "$FILE"), case $CASE"

# The editor with a preloaded session holding the file.
CONFIG="$WORK/config"
brimel_config "$CONFIG" "$FILE" "$FILE"
# The shape cases save the file they measure: the other program gets it as written here.
[ -z "$QUERY" ] || cp "$FILE" "$WORK/pristine"
# Stretches over 20 ms in which the window could not answer go to its log.
# A program that fails is reported and the other still measured; the script then fails.
failed=0
[ -n "${SKIP_BRIMEL:-}" ] || XDG_CONFIG_HOME="$CONFIG" BRIMEL_TURN_WATCH_MS=20 measure_retried brimel "$BRIMEL" || failed=1

KCONFIG="$WORK/kconfig"
kate_config "$KCONFIG"
# Kate opens a text with lines over 10,000 characters read-only, so keys typed into a minified file
# change nothing there; KATE_NO_LINE_LIMIT=1 lifts that limit so it edits what this editor edits.
[ -z "${KATE_NO_LINE_LIMIT:-}" ] || printf '\n[KTextEditor Document]\nLine Length Limit=-1\n' >> "$KCONFIG/katerc"
[ -z "$QUERY" ] || mv "$WORK/pristine" "$FILE"
[ -n "${SKIP_KATE:-}" ] || TEXT_LEFT=9 XDG_CONFIG_HOME="$KCONFIG" measure_retried kate kate -n "$FILE" || failed=1
exit $failed
