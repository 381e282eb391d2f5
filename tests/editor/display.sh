#!/usr/bin/env bash
# The VST 2 editor on a real X display (CTest runs it under xvfb-run): what is on the screen is what the
# canvas drew, an xdotool drag reaches the host as one gesture with the right values, host automation
# turns the knob on the screen, the size switch resizes through the host, a host that destroys the
# editor's parent before closing it survives, and an editor opens, closes and opens again beside another.
# Usage: display.sh [--plain-values] BUILD_DIR [PLUGIN [HOST_COMMAND...]]
#   The plug-in defaults to the build's ZaRoruraroze.so; HOST_COMMAND (default the build's vst-editor-host)
#   lets the same checks run other formats' hosts, and the Windows host and DLL under wine. ZR_EDITOR_KEY=1
#   compares with the editor of a plug-in with a key input (VST 3, CLAP, LV2). --plain-values: the host sets
#   and prints values in the parameters' units (CLAP), not knob positions, so the drag is checked for its
#   direction and read-back but not for its distance along the knob.
set -uo pipefail
plain=0
[ "${1:-}" = --plain-values ] && plain=1 && shift
build=$1
plugin=${2:-$build/ZaRoruraroze.so}
shift $(($# >= 2 ? 2 : $#))
host=("$@")
[ ${#host[@]} -gt 0 ] || host=("$build/tests/editor/vst-editor-host")
snapshot=$build/tests/editor/editor-snapshot
key=()
[ "${ZR_EDITOR_KEY:-0}" = 1 ] && key=(--key)
for tool in xdotool import compare xwininfo; do
    command -v $tool >/dev/null || { echo "SKIP: $tool is not installed (xdotool, imagemagick, x11-utils)"; exit 77; }
done
[ -n "${DISPLAY:-}" ] || { echo "SKIP: no display: run under xvfb-run"; exit 77; }
work=$(mktemp -d)
cue=$work/cue
trap 'kill ${pid:-} 2>/dev/null; rm -rf "$work"' EXIT
status=0
pass() { echo "PASS $*"; }
fail() { echo "FAIL $*"; status=1; }

# wait_for LOG PATTERN: the host's log has a line matching PATTERN (at most 30 s).
wait_for() {
    local i
    for i in $(seq 300); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "timed out waiting for '$2' in:"; cat "$1"; return 1
}
# start LOG STEP...: the host in the background on the plug-in.
start() {
    local log=$1
    shift
    rm -f "$cue"*
    # Windows programs end their lines with CR LF.
    "${host[@]}" "$plugin" "$@" > >(stdbuf -oL tr -d '\r' >"$log") 2>&1 &
    pid=$!
}
finish() { # finish LOG NAME: the host ended well
    wait "$pid"
    local rc=$? i
    pid=
    # The log is written by a process substitution that may still be flushing after the host has ended.
    for i in $(seq 30); do grep -q '^done' "$1" && break; sleep 0.1; done
    if [ $rc -eq 0 ] && grep -q '^done' "$1"; then pass "$2"; else fail "$2 (rc $rc)"; cat "$1"; fi
}
# shot LOG FILE [N]: editor window N (default 1) on the screen, as a PNG, with the pointer out of the way.
shot() {
    local id x y w h
    read -r _ id x y w h < <(grep '^window' "$1" | sed -n "${3:-1}p")
    xdotool mousemove 0 0
    import -window root -crop "${w}x${h}+$x+$y" +repage "$2"
}
# same NAME SHOT REFERENCE: no pixel differs.
same() {
    local differ
    differ=$(compare -metric AE "$2" "$3" null: 2>&1)
    if [ "$differ" = 0 ]; then pass "$1: screen equals canvas"; else fail "$1: $differ pixels differ"; fi
}

"$snapshot" "$work/defaults.ppm" "${key[@]}" >"$work/knobs" || { echo "FAIL editor-snapshot"; exit 1; }
"$snapshot" "$work/automated.ppm" "${key[@]}" --knob 7=0.25 >"$work/automated"
automate=0.25
[ $plain -eq 1 ] && automate=$(awk '/^value 7 / {print $3}' "$work/automated")

# The screen and the canvas, before and after host automation of Threshold.
start "$work/log1" open say shown until "$cue" set 7 "$automate" idle 400 say automated until "${cue}2" close
wait_for "$work/log1" '^shown' && shot "$work/log1" "$work/shot1.png" && touch "$cue"
wait_for "$work/log1" '^automated' && shot "$work/log1" "$work/shot2.png" && touch "${cue}2"
finish "$work/log1" "open, automate, close"
same "defaults" "$work/shot1.png" "$work/defaults.ppm"
same "host automation turns the Threshold knob" "$work/shot2.png" "$work/automated.ppm"

# A drag up 40 px on Threshold, then a click on the 200 % size.
start "$work/log2" open print 7 say shown until "$cue" idle 300 print 7
wait_for "$work/log2" '^shown'
read -r _ _ x y _ _ < <(grep '^window' "$work/log2")
read -r _ _ kx ky < <(grep '^knob 7 ' "$work/knobs")
ax=$((x + kx))
ay=$((y + ky))
xdotool mousemove $ax $ay sleep 0.2 mousedown 1 sleep 0.2
for dy in 10 20 30 40; do xdotool mousemove $ax $((ay - dy)) sleep 0.1; done
xdotool mouseup 1 sleep 0.3 mousemove $((x + 760)) $((y + 15)) sleep 0.1 click 1 sleep 0.5
touch "$cue"
finish "$work/log2" "drag"
start_pos=$(awk '/^param 7/ {print $3; exit}' "$work/log2")
end_pos=$(awk '/^param 7/ {p = $3} END {print p}' "$work/log2")
gesture=$(grep -E '^(begin|automate|end) ' "$work/log2" | awk '{print $1, $2}' | uniq | tr '\n' ' ')
last=$(awk '/^automate 7/ {p = $3} END {print p}' "$work/log2")
if [ "$gesture" = "begin 7 automate 7 end 7 " ] && awk -v s="$start_pos" -v e="$end_pos" -v l="$last" -v plain=$plain \
    'BEGIN { exit !(e == l && (plain ? e > s : e - s > 0.19 && e - s < 0.21)) }'; then
    pass "drag: one gesture on Threshold, $start_pos to $end_pos (40 of 200 px), read back as last sent"
else
    fail "drag: gesture '$gesture', $start_pos to $end_pos, last sent $last"
fi
if grep -q '^size 1560 744' "$work/log2"; then pass "size switch: the host is asked for 1560 x 744"; else fail "size switch"; fi

# The parent destroyed before the editor is closed; then open, close and open again beside a second one.
start "$work/log3" open idle 300 destroy-parent idle 300 close
finish "$work/log3" "parent destroyed before effEditClose: the host lives on"
start "$work/log4" open idle 200 close idle 100 reopen open idle 200 say shown until "$cue" close
wait_for "$work/log4" '^shown' && shot "$work/log4" "$work/shot4.png" && shot "$work/log4" "$work/shot5.png" 2 &&
    touch "$cue"
finish "$work/log4" "open, close, open again, with a second instance open"
same "reopened" "$work/shot4.png" "$work/defaults.ppm"
same "second instance" "$work/shot5.png" "$work/defaults.ppm"
exit $status
