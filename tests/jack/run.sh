#!/usr/bin/env bash
# The JACK client end to end on a private server of its own (dummy driver, no real time): recordings made
# in freewheel mode through the client agree with the render tool at the same settings, before and after
# commands on its standard input, and with a key on its key inputs; its saved files are the render tool's;
# bad commands change nothing; it
# ends with status 0 on quit, end of input and SIGTERM and leaves nothing on the server; without a server
# it says so and fails. Every process started here is stopped by its id on exit, every step has a
# timeout. Exits 77 with "skipped" when jackd is not installed.
#
# Usage: tests/jack/run.sh [BUILD]           BUILD: the build folder (default build/release; built here)
#        tests/jack/run.sh --stress CLIENT JACKLOOP
#            streams set, list and save commands into CLIENT while JACKLOOP plays through it; fails when
#            the client does not end cleanly or reports a ThreadSanitizer warning (CTest runs it so in the
#            ThreadSanitizer build)
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

if ! command -v jackd >/dev/null || ! command -v jack_wait >/dev/null; then
    echo "jack: jackd is not installed (apt-get install jackd2): skipped"
    exit 77
fi

stress=0
if [ "${1:-}" = "--stress" ]; then
    stress=1
    client=$2
    jackloop=$3
else
    build=${1:-$root/build/release}
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$root" --preset release -B "$build" >/dev/null || exit 1
    fi
    timeout 1200 cmake --build "$build" -j2 --target zaroruraroze-jack jackloop zaroruraroze-render \
        ZaRoruraroze >/dev/null || { echo "jack: the client or its harness did not build (libjack-jackd2-dev?)"; exit 1; }
    client=$build/tools/zaroruraroze-jack
    jackloop=$build/tests/jack/jackloop
    render=$build/tools/zaroruraroze-render
fi
# The client starts the file after some silence of its own, so its noise generator stands elsewhere: the
# noise is below 4.3e-6 and the settings keep its gain under about 2.
tolerance=1e-5

mkdir -p "$root/build" && work=$(mktemp -d "$root/build/jack.XXXXXX") || exit 1
export JACK_DEFAULT_SERVER=zrtest-$$-$RANDOM
source "$root/tests/support/harness.sh"

cleanup() {
    exec 3>&- 2>/dev/null
    stop_started
    [ $failed -eq 0 ] && rm -rf "$work"
}
trap cleanup EXIT
# A signal ends the run through the EXIT trap, so nothing is left running.
trap "exit 1" INT TERM HUP PIPE

# wait_for FILE PATTERN [COUNT]: until FILE holds COUNT lines matching PATTERN, at most 10 s.
wait_for() {
    local i
    for ((i = 0; i < 200; i++)); do
        [ "$(grep -c -- "$2" "$1" 2>/dev/null)" -ge "${3:-1}" ] && return 0
        sleep 0.05
    done
    echo "    no '$2' in $1:" && sed 's/^/    | /' "$1" | tail -5
    return 1
}

# start_client NAME ARGS...: the client as JACK client NAME, its commands from fd 3; sets client_pid.
start_client() {
    local name=$1
    shift
    exec 3>&- 2>/dev/null
    mkfifo "$work/$name.in"
    timeout 300 "$client" --name "$name" "$@" <"$work/$name.in" >"$work/$name.out" 2>"$work/$name.err" &
    client_pid=$!
    pids+=("$client_pid")
    exec 3>"$work/$name.in"
    wait_for "$work/$name.err" "client $name on JACK server"
}

# ended_with STATUS: the client ends within 10 s with that status.
ended_with() {
    local status
    timeout 10 tail --pid="$client_pid" -f /dev/null || return 1
    wait "$client_pid"
    status=$?
    [ "$status" -eq "$1" ] || { echo "    status $status"; return 1; }
}

# loop CLIENT NAME [--preroll S]: plays the test signal (or the file in $loop_in) through the client into
# NAME.wav.
loop() {
    timeout 90 "$jackloop" "${@:3}" "$1" "${loop_in:-$work/in.wav}" "$work/$2.wav"
}

# agrees NAME RENDER_ARGS...: NAME.wav agrees with the render tool's output at those settings.
agrees() {
    local name=$1
    shift
    timeout 120 "$render" --quiet --float --block 256 "$@" "$work/in.wav" "$work/$name.render.wav" &&
        timeout 120 python3 "$root/tests/ardour/audio_file.py" compare "$work/$name.wav" \
            "$work/$name.render.wav" --tolerance $tolerance | sed 's/^/    /'
}

state_of() { timeout 30 "$render" --preset "$1" --print-state; }

python3 "$root/tests/ardour/audio_file.py" signal "$work/in.wav" "$work/left.wav" "$work/right.wav" \
    --rate 48000 --seconds 2 || exit 1

if [ $stress -eq 0 ]; then
    start=$EPOCHREALTIME
    timeout 10 "$client" </dev/null >/dev/null 2>"$work/absent.err"
    status=$?
    check "without a server: status $status within $(awk -v a="$start" -v b="$EPOCHREALTIME" \
        'BEGIN { printf "%.1f", b - a }') s, and says so" \
        test $status -ne 0 -a $status -ne 124 -a "$(grep -c "no JACK server" "$work/absent.err")" -eq 1
fi

# A server left over by a killed run would still end within the timeout.
timeout 900 jackd -n "$JACK_DEFAULT_SERVER" -r -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
server_pid=$!
pids+=("$server_pid")
timeout 10 jack_wait -w -t 5 >/dev/null 2>&1 || { fail "private server $JACK_DEFAULT_SERVER starts"; exit 1; }

if [ $stress -eq 1 ]; then
    start_client live || exit 1
    # Commands stream in while the file plays through, in freewheel and at the driver's pace between.
    (
        for ((i = 0; i < 300; i++)); do
            echo "set Threshold $((i % 40 - 30)) dB"
            echo "set Attack @0.$((i % 10))"
            [ $((i % 10)) -eq 0 ] && echo "list" && echo "save $work/stress.fxp"
            [ $((i % 50)) -eq 25 ] && echo "load $work/stress.fxp"
            sleep 0.01
        done
    ) >&3 &
    writer=$!
    pids+=("$writer")
    loops=0
    while kill -0 "$writer" 2>/dev/null && [ $loops -lt 200 ]; do
        loop live stress || fail "loop $loops"
        loops=$((loops + 1))
    done
    echo "    $loops loops played while the commands streamed in"
    timeout 60 tail --pid="$writer" -f /dev/null
    echo quit >&3
    check "client ends with status 0 after the stream of commands" ended_with 0
    check "no ThreadSanitizer report" test "$(grep -c ThreadSanitizer "$work/live.err")" -eq 0
    grep -A30 ThreadSanitizer "$work/live.err" | head -60
    check "every command answered" test "$(grep -c "^Threshold = " "$work/live.out")" -eq 300
    echo "jack stress: $passed passed, $failed failed"
    [ $failed -eq 0 ]
    exit
fi

start_client live || exit 1
loop live default
check "default settings agree with the render tool" agrees default

# The key, the last two channels of the file: once chosen, a silent key reduces nothing (as ratio 1 does),
# and the signal's channels swapped as the key give the signal's own detection (the detector links both
# channels alike); back on its own input, a silent key changes nothing.
audio="python3 $root/tests/ardour/audio_file.py"
$audio join "$work/in-key.wav" "$work/in.wav" "$work/in.wav" --gain-more 0
$audio join "$work/in-swapped.wav" "$work/in.wav" "$work/right.wav" "$work/left.wav"
echo "set Sd Source key" >&3
wait_for "$work/live.out" "^Sd Source = key$"
loop_in=$work/in-key.wav loop live key-silent --preroll 3
check "set Sd Source key: a silent key reduces nothing" agrees key-silent --set Ratio=1
loop_in=$work/in-swapped.wav loop live key-swapped --preroll 3
check "the signal's channels swapped as the key compress as the signal itself" agrees key-swapped
echo "set Sd Source own input" >&3
wait_for "$work/live.out" "^Sd Source = own input$"
loop_in=$work/in-key.wav loop live key-own --preroll 3
check "set Sd Source own input: the key is ignored" agrees key-own

settings=("Threshold=-20dB" "Ratio=4" "Attack=10ms" "Release=100ms" "Hilbert=on" "Out Gain=-3dB" "Side HP=40")
for s in "${settings[@]}"; do echo "set ${s%%=*} ${s#*=}" >&3; done
wait_for "$work/live.out" " = " ${#settings[@]}
args=()
for s in "${settings[@]}"; do args+=(--set "$s"); done
# Silence first, so the detector forgets the last loop.
loop live changed --preroll 3
check "after set on standard input the next loop agrees at the new settings" agrees changed "${args[@]}"

echo "save $work/live.fxp" >&3
echo "save $work/live.fxb" >&3
wait_for "$work/live.out" "^saved" 2
timeout 30 "$render" "${args[@]}" --save-preset "$work/render.fxp" --print-state >"$work/render.state"
check "save writes the render tool's program file" cmp "$work/live.fxp" "$work/render.fxp"
check "the render tool loads the saved program and bank to the same state"     eval 'state_of "$work/live.fxp" | cmp - "$work/render.state" && state_of "$work/live.fxb" | cmp - "$work/render.state"'

bad=("set Ratio 1000" "set Nothing 1" "set Hilbert maybe" "frobnicate" "load $work/in.wav" "save $work/x.txt")
for c in "${bad[@]}"; do echo "$c" >&3; done
echo "save $work/after.fxp" >&3
wait_for "$work/live.out" "^saved" 3
check "each bad command gets one line and changes nothing"     eval '[ "$(grep -vc -e "client live on JACK" -e "xruns in the last" "$work/live.err")" -eq ${#bad[@]} ] &&
        cmp "$work/after.fxp" "$work/live.fxp"'

timeout 5 jack_bufsize 128 >/dev/null
check "a new buffer size is followed" wait_for "$work/live.err" "now runs at 48000 Hz, 128 frames a block"
timeout 30 "$render" --set Mix=50% --set Drive=12dB --set "Sd Listen=on" --save-preset "$work/other.fxp"
echo "load $work/other.fxp" >&3
wait_for "$work/live.out" "^loaded"
loop live loaded --preroll 3
check "after load the next loop agrees with the render tool at the file's settings"     agrees loaded --preset "$work/other.fxp"

echo quit >&3
check "quit: status 0" ended_with 0
start_client eof --preset "$work/live.fxp" --connect --connect-key system:capture_2 ||
    fail "client with --preset, --connect and --connect-key starts"
check "--connect connects to the system ports" wait_for "$work/eof.err" "connected system:capture_1 -> eof:in_left"
check "--connect-key connects the key inputs" \
    wait_for "$work/eof.err" "key: system:capture_2 -> eof:key_left, system:capture_2 -> eof:key_right"
exec 3>&-
check "end of input: status 0" ended_with 0
server=$JACK_DEFAULT_SERVER
JACK_DEFAULT_SERVER=zr-nowhere start_client term --server "$server" || fail "client with --server starts"
kill -TERM "$client_pid"
check "SIGTERM: status 0" ended_with 0
check "nothing left on the server" test -z "$(timeout 10 jack_lsp 2>/dev/null | grep -v '^system:')"

start_client orphan || fail "client starts"
kill "$server_pid"
check "server shutdown: status 1 and a line saying so" \
    eval 'ended_with 1 && wait_for "$work/orphan.err" "the JACK server shut down"'

echo "jack: $passed passed, $failed failed"
[ $failed -eq 0 ]
