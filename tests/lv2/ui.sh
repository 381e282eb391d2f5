#!/usr/bin/env bash
# The LV2 editor in a real host: jalv.gtk3 (through suil) on a private dummy JACK server, on the X display
# this runs on (CTest runs it under xvfb-run). Its window must sit inside jalv's at the size it asked for and
# show what the canvas draws; a drag on Out Gain must reach the plug-in jalv runs, which jackloop hears.
# Usage: ui.sh BUILD_DIR JACKLOOP
set -uo pipefail
build=$(cd "$1" && pwd)
jackloop=$2
here=$(cd "$(dirname "$0")" && pwd)
audio="python3 $here/../ardour/audio_file.py"
snapshot=$build/tests/editor/editor-snapshot
for tool in jalv.gtk3 jackd jack_wait xdotool xwininfo import compare python3; do
    command -v $tool >/dev/null ||
        { echo "SKIPPED: $tool is not installed (apt-get install jalv jackd2 xdotool x11-utils imagemagick)"; exit 77; }
done
[ -n "${DISPLAY:-}" ] || { echo "SKIPPED: no display: run under xvfb-run"; exit 77; }
work=$(mktemp -d)
export JACK_DEFAULT_SERVER=zrui$$ JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1
export LV2_PATH=$build/lv2
pids=()
# jalv first, then the server: a server ended beside its client leaves its entry in JACK's registry of
# servers, and once that registry is full no JACK server starts on the machine.
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null
    done
    # The semaphores JACK clients leave behind; the server name is ours.
    rm -f /dev/shm/jack_sem.*_"$JACK_DEFAULT_SERVER"_*
    rm -rf "$work"
}
trap cleanup EXIT
status=0
pass() { echo "PASS $*"; }
fail() { echo "FAIL $*"; status=1; }

jackd -n "$JACK_DEFAULT_SERVER" -r -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
pids+=($!)
timeout 10 jack_wait -w -t 5 >/dev/null 2>&1 || { fail "private JACK server starts"; exit 1; }
jalv.gtk3 --no-menu --jack-name zrjalv urn:quenderlab:zaroruraroze >"$work/jalv.log" 2>&1 &
pids+=($!)

# Our window: the innermost 780 x 372 one below jalv's "ZaRoruraroze" window in the tree.
window=
for i in $(seq 100); do
    tree=$(xwininfo -root -tree 2>/dev/null)
    window=$(awk '/"ZaRoruraroze": \("jalv.gtk3"/ { inside = 1; next }
                  inside && /780x372\+0\+0/ && !/jalv/ { match($0, /^ */); if (RLENGTH > depth) { depth = RLENGTH; id = $1 } }
                  END { print id }' <<<"$tree")
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -n "$window" ]; then
    pass "jalv.gtk3 embeds the editor: window $window, 780 x 372, inside jalv's"
else
    fail "no editor window inside jalv's"; echo "$tree"; cat "$work/jalv.log"; exit 1
fi
read -r x y < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {print x, $NF}')
sleep 1 # a few of jalv's idle calls
xdotool mousemove 1500 1100
import -window root -crop "780x372+$x+$y" +repage "$work/shown.png"
"$snapshot" "$work/defaults.ppm" --key >"$work/knobs"
differ=$(compare -metric AE "$work/shown.png" "$work/defaults.ppm" null: 2>&1)
[ "$differ" = 0 ] && pass "the editor in jalv equals the canvas" || fail "the editor in jalv: $differ pixels differ"

# Out Gain heard before and after a drag 40 px down (from knob 0.5, 1.0, to 0.3: 4 x 0.3^2 = 0.36).
$audio signal "$work/in.wav" "$work/l.wav" "$work/r.wav" --seconds 1
"$jackloop" zrjalv "$work/in.wav" "$work/before.wav" || fail "jackloop before the drag"
read -r _ _ kx ky < <(grep '^knob 9 ' "$work/knobs")
ax=$((x + kx))
ay=$((y + ky))
xdotool mousemove $ax $ay sleep 0.2 mousedown 1 sleep 0.2
for dy in 10 20 30 40; do xdotool mousemove $ax $((ay + dy)) sleep 0.1; done
xdotool mouseup 1 sleep 0.5
"$jackloop" zrjalv "$work/in.wav" "$work/after.wav" || fail "jackloop after the drag"
before=$($audio stats "$work/before.wav" | sed -n 's/.*peak \([^,]*\),.*/\1/p')
after=$($audio stats "$work/after.wav" | sed -n 's/.*peak \([^,]*\),.*/\1/p')
if awk -v b="$before" -v a="$after" 'BEGIN { exit !(b > 0 && a / b > 0.35 && a / b < 0.37) }'; then
    pass "a drag on Out Gain reaches the plug-in in jalv: peak $before, then $after (x 0.36)"
else
    fail "drag on Out Gain: peak $before, then $after; expected x 0.36"
fi
exit $status
