#!/usr/bin/env bash
# Proves the plug-in in a real host, headless: Ardour 7 scans ZaRoruraroze.so, renders a test signal
# through it at three settings and compares each render with the render tool's through the same binary,
# saves and restores it in fresh processes (also from its chunk alone), and takes its chunk over and over
# while its audio thread runs. The LV2 bundle of the same build goes through Ardour too: loaded with its
# controls set in their units and its key inputs declared as side-chain inputs, rendered against the render
# tool, saved with the VST 2 build's chunk and restored in a fresh process. So does the VST 3 bundle:
# scanned, loaded with its parameters, meter and side-chain bus as Ardour describes them, rendered against
# the render tool, saved with the VST 2 build's chunk, restored
# (the state winning over the parameter values saved beside it), metered while rolling, stressed, and
# given a factory preset. A tiny unity-gain plug-in proves first that the scripts pass a signal
# through Ardour unchanged. Prints one line per check with its time; exits non-zero on any failure and 77
# with "skipped" when Ardour 7 is not installed.
#
# Usage: tests/ardour/run.sh [--keep]     (--keep leaves the scratch folder in place even on success)
# Environment:
#   ZR_ARDOUR_BUILD       build folder with ZaRoruraroze.so, tools/zaroruraroze-render, the LV2 and the
#                         VST 3 bundles and tests/vst3/vst3-knobs (default build/release; configured and built
#                         when the files are missing; the LV2 checks are skipped when the build makes no
#                         bundle, that is without lv2-dev)
#   ZR_ARDOUR_DEBUG_BUILD build folder for a Debug plug-in with assertions on and no sanitizers (default
#                         build/ardour-debug, configured and built here): it is scanned and stressed too, so
#                         that any call of Ardour's outside the plug-in's contract aborts with its condition.
#                         (Sanitizer builds cannot run inside Ardour 7.3: with the sanitizer runtime preloaded,
#                         Ardour's tools hang on glibc's locale locks before or after any plug-in code runs.)
#   ZR_ARDOUR_ATTEMPTS    tries per Ardour process (default 5): Ardour 7.3 itself now and then hangs or
#                         aborts on a corrupted heap as an export starts, also in a session without any
#                         plug-in (6 of 40 such exports); every retry is reported
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
keep=0
[ "${1:-}" = "--keep" ] && keep=1

if ! command -v ardour7-lua >/dev/null || ! command -v ardour7-export >/dev/null ||
    [ ! -x /usr/lib/ardour7/ardour-vst-scanner ]; then
    echo "ardour: Ardour 7 is not installed (apt-get install ardour): skipped"
    exit 77
fi

build=${ZR_ARDOUR_BUILD:-$root/build/release}
debug_build=${ZR_ARDOUR_DEBUG_BUILD:-$root/build/ardour-debug}
attempts=${ZR_ARDOUR_ATTEMPTS:-5}
# Ardour's export hands the plug-in blocks of its engine's buffer size, 1024 frames.
export_block=1024
# Both hosts feed the plug-in the same samples, and everything in it is deterministic except where its
# noise generator stands when the render starts: that noise is below 4.3e-6 and the settings below keep
# its gain under about 2, so renders of the same state agree within this.
tolerance=1e-5

# Host names of the eleven parameters, by index, as the tool takes them (Ardour sees 8 characters).
names=("Side HP" "Side LP" "Sd Listen" "Drive" "Attack" "Release" "Hilbert" "Threshold" "Ratio" "Out Gain" "Mix")
# Two settings besides the defaults, as host knob positions "index=position". "compress" moves every knob
# of the compressor and switches the quadrature detector on; "listen" outputs the filtered side-chain.
declare -A settings=(
    [default]=""
    [compress]="0=0.4 1=0.8 3=0.3 4=0.2 5=0.35 6=1 7=0.3 8=0.6 9=0.45 10=0.8"
    [listen]="0=0.6 1=0.5 2=1 4=0 5=1 7=0"
)

# The LV2 plug-in: its controls are its parameters in the same order, as the port's plain values; the
# render tool takes the same numbers with these units. The setting moves every knob but the side-chain
# listen switch (and not Out Gain to its floor, which is silence in LV2 but 10^-4.5 in the tool's dB).
lv2_uri=urn:quenderlab:zaroruraroze
lv2_units=(Hz Hz "" dB ms ms "" dB "" dB %)
# (Attack and Release end at 0.01 ms, which stands for 0.)
lv2_ranges="5..2000 100..40000 0..1 -20..60 0.01..10000 0.01..10000 0..1 -60..12.0412 0.5..64 -90..12.0412 0..100 0..1"
# The audio inputs as Ardour's descriptor shows them, "name=is_sidechain", and the controls' names: the
# eleven and, with the key, Sd Source.
lv2_inputs="In Left=false,In Right=false,Key Left=true,Key Right=true"
lv2_names=("${names[@]}" "Sd Source")
# Ardour's generic sliders: logarithmic for the cut-offs, the times (their 0.01 ms floor stands for 0) and Ratio.
lv2_scales="log log lin lin log log lin lin log lin lin lin"
lv2_setting="0=60 1=12000 3=6 4=5 5=80 6=1 7=-20 8=4 9=-3 10=80"
# An LV2 plug-in applies new port values in its next run() and saves what it applied, so a save right
# after setting them would store the old chunk: the engine processes this many frames first (a few of its
# 1024-frame cycles).
lv2_settle_frames=4096

# The VST 3 plug-in: its parameters by their full names, with plain values in the units shown (Ardour sets
# and stores plain values); the setting moves every main control. tests/vst3/vst3-knobs tells the knob
# positions these plain values arrive as, which the render tool is then given.
vst3_names=("Side HP" "Side LP" "Sd Listen" "Drive" "Attack" "Release" "Hilbert" "Threshold" "Ratio" "Out Gain" "Mix"
    "Sd Source")
vst3_ranges="5..2000 100..40000 0..1 -20..60 0..10 0..10 0..1 -60..12.0412 0.5..64 -90..12.0412 0..100 0..1"
vst3_defaults="20 40000 0 0 0.2 0.2 0 0 32 0 100 0"
# The side-chain bus's two channels after the main ones, and the meter after the twelve parameters.
vst3_inputs="Input 1=false,Input 2=false,Side-chain 1=true,Side-chain 2=true"
vst3_meter=12
vst3_setting="0=60 1=12000 3=6 4=0.005 5=0.08 6=1 7=-20 8=4 9=-3 10=80"
vst3_class=5A61526F72757261726F7A6556535433
# The VST 2 build's unique ID 'zlSB', for bank files of the VST 3 plug-in's state.
vst2_id=$(((0x7A << 24) | (0x6C << 16) | (0x53 << 8) | 0x42))

mkdir -p "$root/build" && work=$(mktemp -d "$root/build/ardour.XXXXXX") || exit 1
mkdir -p "$work/logs"
passed=0
failed=0
run_start=$EPOCHREALTIME

# ---------------------------------------------------------------------------------------------------
# Reporting

elapsed() { # elapsed START: seconds since START with one decimal
    awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }'
}

check_start=$EPOCHREALTIME
# What Ardour did wrong during a check (retried processes, shifted renders), shown on the check's line.
ardour_notes=""

begin() {
    check_start=$EPOCHREALTIME
    ardour_notes=""
}

note() {
    ardour_notes+="${ardour_notes:+, }$1"
}

pass() {
    passed=$((passed + 1))
    echo "PASS  $1 ($(elapsed "$check_start") s)${ardour_notes:+; Ardour: $ardour_notes}"
}

fail() {
    failed=$((failed + 1))
    echo "FAIL  $1 ($(elapsed "$check_start") s)${ardour_notes:+; Ardour: $ardour_notes}"
}

verdict() { # verdict OK PASS_TEXT FAIL_TEXT: one line for a check, by OK (1 passed, 0 failed)
    if [ "$1" -eq 1 ]; then pass "$2"; else fail "$3"; fi
}

# ---------------------------------------------------------------------------------------------------
# Ardour, each process with a home of its own per plug-in folder, under a timeout and retried

# attempt NAME SECONDS TAG [VAR=VALUE...] CMD...: runs CMD with Ardour's environment, a HOME and XDG
# folders of its own for TAG, LXVST_PATH pointing at the one folder that holds TAG's VST 2 plug-ins,
# VST3_PATH at the one that holds its VST 3 bundles and LV2_PATH at the one that holds its LV2 bundles (no
# system bundles, so none is loaded in vain; /usr/lib/vst3 is always searched, but lists only what was
# scanned into TAG's own cache), up to
# $attempts times until it exits 0. When the variable clean names a folder, each try starts by removing it
# (a session folder the last try left half made). Each try is logged to logs/NAME.N.log; retries are
# noted for the check's line. A try that runs longer than SECONDS is killed, after gdb (when installed)
# has written every thread's stack into its log, which tells whether it hung inside a plug-in or in
# Ardour. The caller checks the outputs itself.
attempt() {
    local name=$1 seconds=$2 tag=$3
    shift 3
    local home="$work/home-$tag"
    mkdir -p "$home/config" "$home/cache" "$home/data" "$home/runtime"
    chmod 700 "$home/runtime"
    local n rc pid deadline log
    for ((n = 1; n <= attempts; n++)); do
        [ -n "${clean:-}" ] && rm -rf "$clean"
        log="$work/logs/$name.$n.log"
        # Ardour's wrapper scripts exec their program, so pid stays the Ardour process.
        env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
            XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" LXVST_PATH="$work/vst-$tag" \
            VST3_PATH="$work/vst3-$tag" LV2_PATH="$work/lv2-$tag" \
            LD_LIBRARY_PATH=/usr/lib/ardour7 ARDOUR_DATA_PATH=/usr/share/ardour7 ARDOUR_CONFIG_PATH=/etc/ardour7 \
            ARDOUR_DLL_PATH=/usr/lib/ardour7 VAMP_PATH=/usr/lib/ardour7/vamp \
            "$@" >"$log" 2>&1 &
        pid=$!
        deadline=$((${EPOCHREALTIME/./} + seconds * 1000000))
        while kill -0 $pid 2>/dev/null && [ "${EPOCHREALTIME/./}" -lt $deadline ]; do
            sleep 0.05
        done
        if kill -0 $pid 2>/dev/null; then
            local where="in Ardour"
            if command -v gdb >/dev/null; then
                local stacks
                stacks=$(timeout 60 gdb -p $pid -batch -ex "thread apply all bt" 2>&1)
                echo "$stacks" >>"$log"
                # A frame of the plug-in: "from .../ZaRoruraroze.so" (VST 2) or ".../zaroruraroze.so" (LV2),
                # or a source of ours in a Debug build.
                grep -Eq "^#[0-9]+ .*( from [^ ]*/(ZaRoruraroze|zaroruraroze)\.so| at $root/)" <<<"$stacks" &&
                    where="inside the plug-in"
            else
                where="where unknown (no gdb)"
            fi
            kill -KILL $pid 2>/dev/null
            wait $pid 2>/dev/null
            note "$name hung $where, retried"
            continue
        fi
        wait $pid 2>/dev/null
        rc=$?
        [ $rc -eq 0 ] && return 0
        note "$name exit $rc$([ $rc -gt 128 ] && echo " (signal $((rc - 128)))"), retried"
    done
    echo "      $name failed $attempts times; last log: $work/logs/$name.$attempts.log"
    tail -n 5 "$work/logs/$name.$attempts.log" | sed 's/^/      | /'
    return 1
}

# scan TAG PLUGIN: Ardour's scanner writes the plug-in into the cache of that tag's home.
scan() {
    attempt "scan-$1" 30 "$1" /usr/lib/ardour7/ardour-vst-scanner -f "$2"
}

# scan3 TAG BUNDLE: Ardour's VST 3 scanner writes the bundle into the cache of that tag's home. Its exit
# status does not tell a bundle that failed to load: the caller looks for the cache entry.
scan3() {
    attempt "scan3-$1" 30 "$1" /usr/lib/ardour7/ardour-vst3-scanner -f "$2"
}

# signal RATE: the test signal at that sample rate, made once: signal-RATE.wav (stereo, for the render
# tool) and signal-RATE-L.wav, signal-RATE-R.wav (Ardour's mono sources).
signal() {
    [ -f "$work/signal-$1.wav" ] ||
        python3 "$here/audio_file.py" signal "$work/signal-$1.wav" "$work/signal-$1-L.wav" "$work/signal-$1-R.wav" \
            --rate "$1"
}

# make_session TAG NAME PLUGIN KNOBS [PROBE [RATE]]: a session at RATE (default 48000 Hz) with one track
# carrying the plug-in (behind the probe plug-in, if named), the test signal on it, panners bypassed.
# The variable plugin_type may say LV2 (PLUGIN is then a URI), settle_frames how many frames the engine
# processes before the save.
make_session() {
    local tag=$1 name=$2 plugin=$3 knobs=$4 probe=${5:-} rate=${6:-48000}
    local dir="$work/sessions/$name"
    signal "$rate" &&
        clean=$dir attempt "session-$name" 30 "$tag" ZR_SESSION_DIR="$dir" ZR_SESSION_NAME="$name" \
            ZR_PLUGIN="$plugin" ZR_PLUGIN_TYPE="${plugin_type:-LXVST}" ZR_KNOBS="$knobs" ZR_PROBE="$probe" \
            ZR_SETTLE_FRAMES="${settle_frames:-0}" ZR_RATE="$rate" ZR_REPORT="$work/$name.report" \
            ardour7-lua "$here/make_session.lua" &&
        grep -q '^done$' "$work/$name.report" &&
        python3 "$here/ardour_files.py" import "$dir/$name.ardour" "$work/signal-$rate-L.wav" "$work/signal-$rate-R.wav"
}

# export_session TAG NAME SNAPSHOT OUT.wav: renders the session range offline in a fresh process. A unity
# probe in the session writes its host-call trace to OUT.trace.
export_session() {
    local tag=$1 name=$2 snapshot=$3 out=$4
    rm -f "$out" "${out%.wav}.trace"
    attempt "export-$snapshot" 30 "$tag" UNITY_TRACE="${out%.wav}.trace" ardour7-export -b float -o "$out" \
        "$work/sessions/$name" "$snapshot" && [ -s "$out" ]
}

# preroll_of OUT.wav: the frames Ardour ran through the plug-ins before the first sample of the export
# (the probe's count up to the first sound it saw, from its trace; the last try counts).
preroll_of() {
    awk '$2 == "first-sound" { frames = $3 } END { print frames }' "${1%.wav}.trace" 2>/dev/null
}

# resave TAG NAME SNAPSHOT NEW: loads a snapshot in a fresh process and saves it as NEW.
resave() {
    local tag=$1 name=$2 snapshot=$3 new=$4
    rm -f "$work/sessions/$name/$new.ardour"
    attempt "resave-$new" 30 "$tag" ZR_SESSION_DIR="$work/sessions/$name" ZR_SESSION_NAME="$snapshot" \
        ZR_SNAPSHOT="$new" ZR_REPORT="$work/$new.report" ardour7-lua "$here/resave_session.lua" &&
        grep -q '^done$' "$work/$new.report" && [ -s "$work/sessions/$name/$new.ardour" ]
}

chunk_of() { # chunk_of NAME SNAPSHOT PLUGIN: the plug-in's chunk text in that snapshot
    python3 "$here/ardour_files.py" chunk "$work/sessions/$1/$2.ardour" "$3"
}

render() { # render NAME TOOL_ARGS... IN.wav OUT.wav: the render tool in Ardour's export block size
    local name=$1
    shift
    "$render_tool" --plugin "$plugin_so" --block $export_block --float --quiet "$@" >>"$work/logs/tool-$name.log" 2>&1 ||
        { sed 's/^/      | /' "$work/logs/tool-$name.log"; return 1; }
}

# compare A.wav B.wav [options]: prints the comparison indented, keeps it in $compared and answers its
# verdict. B is an Ardour render: now and then Ardour 7.3's export starts 16 frames into the session
# range (the plug-ins saw the whole signal; the file misses its first frames), so a render shifted by up
# to a block is compared where both have frames, and the shift is noted.
compare() {
    local rc
    compared=$(python3 "$here/audio_file.py" compare "$@" --max-lag $export_block)
    rc=$?
    echo "      $compared"
    if [[ $compared == "B starts "* ]]; then
        local shift=${compared#B starts }
        note "a render started ${shift%%,*}"
    fi
    return $rc
}

# audible NAME EXPORT: an export with settings differs from the render tool's at the defaults (check 2's,
# or made now when it has not run), so the settings reached the plug-in.
audible() {
    if ! [ -f "$work/render-default.tool.wav" ] &&
        ! render "$1" "$work/signal-48000.wav" "$work/render-default.tool.wav"; then
        return 1
    fi
    python3 "$here/audio_file.py" compare "$work/render-default.tool.wav" "$2" --tolerance 1e-3 --differ >/dev/null ||
        { echo "      the setting is not audible: it did not reach the plug-in"; return 1; }
}

# ---------------------------------------------------------------------------------------------------
# What is compared

# The binaries: the plug-in, its LV2 bundle and the render tool from one build, the unity plug-in built
# here. lv2_bundle stays empty when the build makes no LV2 bundle.
prepare() {
    plugin_so="$build/ZaRoruraroze.so"
    render_tool="$build/tools/zaroruraroze-render"
    if [ ! -f "$plugin_so" ] || [ ! -x "$render_tool" ]; then
        echo "      building ZaRoruraroze.so and the render tool in $build"
        if ! cmake -S "$root" --preset release -B "$build" >"$work/logs/cmake.log" 2>&1 ||
            ! cmake --build "$build" --target ZaRoruraroze zaroruraroze-render -j 2 >>"$work/logs/cmake.log" 2>&1; then
            tail -n 20 "$work/logs/cmake.log" | sed 's/^/      | /'
            return 1
        fi
    fi
    # Copies, so that a rebuild of that folder during the run changes nothing here. Ardour looks for
    # plug-ins in whole folders: each binary gets a folder of its own. Ardour trusts its scan cache only
    # when the cache is newer than the binary, and the scanner dates the cache to the whole second, so a
    # binary made in the second of its scan would count as changed: the copies are dated back.
    mkdir -p "$work/vst-zr" "$work/vst-unity" "$work/bin"
    cp "$plugin_so" "$work/vst-zr/ZaRoruraroze.so" && cp "$render_tool" "$work/bin/" || return 1
    plugin_so="$work/vst-zr/ZaRoruraroze.so"
    render_tool="$work/bin/zaroruraroze-render"
    ${CXX:-c++} -std=c++17 -O2 -Wall -Wextra -Werror -shared -fPIC -fvisibility=hidden -I"$root" \
        "$here/UnityGain.cpp" -o "$work/vst-unity/UnityGain.so" >"$work/logs/unity-build.log" 2>&1 ||
        { sed 's/^/      | /' "$work/logs/unity-build.log"; return 1; }
    cp "$work/vst-unity/UnityGain.so" "$work/vst-zr/UnityGain.so" || return 1
    touch -d "1 minute ago" "$work"/vst-*/*.so
    # The VST 3 bundle, the helper that tells the knob positions Ardour's plain values arrive as, and the
    # unity probe for its sessions.
    vst3_bundle="$work/vst3-v3/ZaRoruraroze.vst3"
    vst3_knobs="$work/bin/vst3-knobs"
    local v3="$build/vst3/ZaRoruraroze.vst3/Contents/x86_64-linux/ZaRoruraroze.so"
    if [ ! -f "$v3" ] || [ ! -x "$build/tests/vst3/vst3-knobs" ]; then
        cmake --build "$build" --target ZaRorurarozeVst3 vst3-knobs -j 2 >>"$work/logs/cmake.log" 2>&1 ||
            { tail -n 20 "$work/logs/cmake.log" | sed 's/^/      | /'; return 1; }
    fi
    mkdir -p "$work/vst3-v3" "$work/vst-v3" && cp -r "$build/vst3/ZaRoruraroze.vst3" "$work/vst3-v3/" &&
        cp "$build/tests/vst3/vst3-knobs" "$work/bin/" && cp "$work/vst-unity/UnityGain.so" "$work/vst-v3/" || return 1
    touch -d "1 minute ago" "$vst3_bundle/Contents/x86_64-linux/ZaRoruraroze.so" "$work/vst-v3/UnityGain.so"
    lv2_bundle=""
    local bundle="$build/lv2/ZaRoruraroze.lv2"
    [ -f "$bundle/zaroruraroze.so" ] ||
        cmake --build "$build" --target ZaRorurarozeLv2 -j 2 >>"$work/logs/cmake.log" 2>&1
    if [ -f "$bundle/zaroruraroze.so" ] && [ -f "$bundle/manifest.ttl" ]; then
        mkdir -p "$work/lv2-zr" && cp -r "$bundle" "$work/lv2-zr/" || return 1
        lv2_bundle="$work/lv2-zr/ZaRoruraroze.lv2"
    fi
}

# Tool arguments for a setting: --set "Name=@position" for each knob.
tool_settings() {
    local pair
    tool_args=()
    for pair in $1; do
        tool_args+=(--set "${names[${pair%%=*}]}=@${pair#*=}")
    done
}

# The scripts themselves: at knob 0.5 the unity plug-in must give back its input bit for bit, and a
# session whose only trace of the knob at 0.25 is the chunk must give back the input halved exactly.
check_scripts() {
    begin
    local ok=0
    scan unity "$work/vst-unity/UnityGain.so" &&
        make_session unity unity UnityGain "0=0.5" &&
        export_session unity unity unity "$work/unity.wav" &&
        make_session unity unityhalf UnityGain "0=0.25" &&
        python3 "$here/ardour_files.py" strip-controls "$work/sessions/unityhalf/unityhalf.ardour" UnityGain &&
        export_session unity unityhalf unityhalf "$work/unityhalf.wav" &&
        compare "$work/signal-48000.wav" "$work/unity.wav" &&
        compare "$work/signal-48000.wav" "$work/unityhalf.wav" --gain-a 0.5 && ok=1
    verdict $ok "scripts: a unity-gain plug-in renders the test signal through Ardour bit for bit, and halves it exactly when its chunk alone says so; Ardour ran $(preroll_of "$work/unity.wav") frames of silence through it first, without suspending it" \
        "scripts: the unity-gain plug-in does not pass the test signal through Ardour exactly"
}

# 1. Ardour's scanner accepts the plug-in and records its name, vendor, channels and unique ID; Ardour
# then lists its eleven parameters (their names cut to the 8 characters of VST 2).
check_scan() {
    begin
    local cache expected_names got_names ok=1
    scan zr "$plugin_so" || { fail "1 scan: Ardour's scanner refuses ZaRoruraroze.so"; return; }
    cache=$(grep -l 'binary="[^"]*/ZaRoruraroze.so"' "$work"/home-zr/cache/ardour7/vst/*.v2i 2>/dev/null | head -n 1)
    [ -n "$cache" ] || { fail "1 scan: the scanner wrote no cache entry"; return; }
    local info
    info=$(python3 "$here/ardour_files.py" scan-info "$cache") || { fail "1 scan: unreadable cache"; return; }
    local want
    # 'zlSB' packed with the first character in the most significant byte.
    for want in "name=ZaRoruraroze" "creator=Orrel @ Quenderlab" "id=$(((0x7A << 24) | (0x6C << 16) | (0x53 << 8) | 0x42))" \
        "n_inputs=2" "n_outputs=2" "is_instrument=0" "can_process_replace=1"; do
        grep -qxF "$want" <<<"$info" || { echo "      scanner: expected $want"; ok=0; }
    done
    make_session zr names ZaRoruraroze "" || { fail "1 scan: Ardour cannot instantiate the scanned plug-in"; return; }
    expected_names=$(printf '%s\n' "${names[@]}" | cut -c1-8 | paste -sd,)
    got_names=$(awk -F'\t' '$1 == "param" { print $3 }' "$work/names.report" | paste -sd,)
    [ "$got_names" = "$expected_names" ] || { echo "      parameters: $got_names, expected $expected_names"; ok=0; }
    local category
    category=$(grep '^category=' <<<"$info" | cut -d= -f2)
    verdict $ok "1 scan: ZaRoruraroze by Orrel @ Quenderlab, ID zlSB, 2 in 2 out, category $category, parameters $got_names" \
        "1 scan: Ardour's picture of the plug-in is wrong"
}

# 2. For each setting, Ardour's export is compared with the render tool's through the same binary with
# the same knob positions: they must agree within the tolerance. Then the tool renders again, fed first
# the silence that Ardour ran through the plug-in before the export (counted by the unity probe in front
# of it): that puts the noise generator where Ardour's stood, and the renders must be identical. The
# "compress" setting is rendered once more in a 96 kHz session.
check_renders() {
    begin
    scan zr "$work/vst-zr/UnityGain.so" || { fail "2 render: cannot scan the unity probe"; return; }
    local case
    for case in default compress listen compress@96000; do
        begin
        local setting=${case%@*} rate=48000
        [ "$case" != "$setting" ] && rate=${case#*@}
        local name="render-$setting" label=$setting ok=1
        if [ "$rate" != 48000 ]; then
            name+="-$rate"
            label+=" at $((rate / 1000)) kHz"
        fi
        if ! make_session zr "$name" ZaRoruraroze "${settings[$setting]}" UnityGain "$rate" ||
            ! export_session zr "$name" "$name" "$work/$name.ardour.wav"; then
            fail "2 render $label: Ardour could not render"
            continue
        fi
        tool_settings "${settings[$setting]}"
        local preroll
        preroll=$(preroll_of "$work/$name.ardour.wav")
        python3 "$here/audio_file.py" pad "$work/signal-$rate.wav" "$work/$name.padded.wav" "${preroll:-0}" || ok=0
        if ! render "$name" "${tool_args[@]}" "$work/signal-$rate.wav" "$work/$name.tool.wav" ||
            ! render "$name" "${tool_args[@]}" "$work/$name.padded.wav" "$work/$name.replay.wav"; then
            fail "2 render $label: the render tool failed"
            continue
        fi
        local result
        echo "      same knobs:"
        compare "$work/$name.tool.wav" "$work/$name.ardour.wav" --tolerance $tolerance || ok=0
        result=$compared
        echo "      same knobs after Ardour's ${preroll:-?} frames of silence:"
        compare "$work/$name.replay.wav" "$work/$name.ardour.wav" --skip-a "${preroll:-0}" || ok=0
        if [ "$setting" != default ] && [ "$rate" = 48000 ] &&
            ! python3 "$here/audio_file.py" compare "$work/render-default.ardour.wav" "$work/$name.ardour.wav" \
                --tolerance 1e-3 --differ >/dev/null; then
            echo "      the setting is not audible: it did not reach the plug-in"
            ok=0
        fi
        local worst=${result#*max |difference| } exact="not exact"
        worst=${worst%% *}
        grep -q '; identical$' <<<"$result" && exact="exact"
        verdict $ok "2 render $label: Ardour's export matches the render tool within $tolerance (max $worst, $exact), and bit for bit once the tool replays Ardour's $preroll-frame silent pre-roll" \
            "2 render $label: Ardour's export and the render tool differ by more than the noise generator's position"
    done
}

# 3. The "compress" session reloaded in a fresh process saves the same chunk and renders the same audio;
# so does a copy whose control values were stripped, restored from its chunk alone. Last, the chunk that
# Ardour saved after that restore, loaded into the render tool as a bank file, gives Ardour's audio bit
# for bit (with Ardour's silent pre-roll replayed), so the state moves between hosts without loss.
check_restore() {
    begin
    local ok=1 saved restored chunk_only
    saved=$(chunk_of render-compress render-compress ZaRoruraroze)
    if resave zr render-compress render-compress restored; then
        restored=$(chunk_of render-compress restored ZaRoruraroze)
        if [ -z "$saved" ] || [ "$restored" != "$saved" ]; then
            echo "      the chunk changed on reload:"
            diff <(echo "$saved") <(echo "$restored") | head -n 20 | sed 's/^/      | /'
            ok=0
        fi
        export_session zr render-compress restored "$work/restored.wav" &&
            compare "$work/render-compress.ardour.wav" "$work/restored.wav" --tolerance $tolerance || ok=0
    else
        ok=0
    fi

    local dir="$work/sessions/chunkonly"
    rm -rf "$dir"
    cp -r "$work/sessions/render-compress" "$dir" &&
        mv "$dir/render-compress.ardour" "$dir/chunkonly.ardour" &&
        python3 "$here/ardour_files.py" strip-controls "$dir/chunkonly.ardour" ZaRoruraroze &&
        resave zr chunkonly chunkonly chunkonly-restored || ok=0
    chunk_only=$(chunk_of chunkonly chunkonly-restored ZaRoruraroze)
    if [ "$chunk_only" != "$saved" ]; then
        echo "      the chunk alone did not restore the state:"
        diff <(echo "$saved") <(echo "$chunk_only") | head -n 20 | sed 's/^/      | /'
        ok=0
    fi
    if export_session zr chunkonly chunkonly "$work/chunkonly.wav"; then
        compare "$work/render-compress.ardour.wav" "$work/chunkonly.wav" --tolerance $tolerance || ok=0
        local preroll
        preroll=$(preroll_of "$work/chunkonly.wav")
        python3 "$here/ardour_files.py" fxb "$dir/chunkonly-restored.ardour" ZaRoruraroze "$work/chunkonly.fxb" &&
            python3 "$here/audio_file.py" pad "$work/signal-48000.wav" "$work/chunkonly.padded.wav" "${preroll:-0}" &&
            render chunkonly --preset "$work/chunkonly.fxb" "$work/chunkonly.padded.wav" "$work/chunkonly.tool.wav" &&
            compare "$work/chunkonly.tool.wav" "$work/chunkonly.wav" --skip-a "${preroll:-0}" || ok=0
    else
        ok=0
    fi
    if [ $ok -eq 1 ]; then
        pass "3 restore: a fresh Ardour restores the same chunk and the same audio, from controls and chunk and from the chunk alone; that chunk in the render tool gives Ardour's audio bit for bit"
    else
        fail "3 restore: the state or the audio changed on reload"
    fi
}

# 4. Scan order and chunk calls from another thread while processing: the scan above already sent
# effMainsChanged(0) without a prior (1); here Ardour's engine runs the plug-in in 64-frame blocks with
# the transport rolling while the knobs move and the session is saved 200 times from the Lua thread.
# The last save must reload with the same chunk and render finite audio. With LV2 the same happens to the
# LV2 plug-in, whose save() copies what run() publishes.
check_stress() { # check_stress TAG LABEL [LV2|VST3]: TAG's plug-in must be scanned already
    local tag=$1 label=$2 type=${3:-LXVST}
    begin
    local ok=1 name="stress-$tag" plugin=ZaRoruraroze knobs=${settings[compress]}
    local title="4 scan order and chunk calls, $label" scanned="scanned; "
    if [ "$type" = LV2 ]; then
        name+="-lv2" plugin=$lv2_uri knobs=$lv2_setting title="LV2 5 saves, $label" scanned=""
    elif [ "$type" = VST3 ]; then
        name+="-vst3" knobs=$vst3_setting title="VST3 8 scan order and saves, $label"
    fi
    if ! plugin_type=$type make_session "$tag" "$name" "$plugin" "$knobs" ||
        ! attempt "$name" 60 "$tag" ZR_SESSION_DIR="$work/sessions/$name" ZR_SESSION_NAME="$name" \
            ZR_PLUGIN=ZaRoruraroze ZR_ROUNDS=200 ZR_BLOCK=64 ZR_SNAPSHOT=stressed ZR_REPORT="$work/$name.report" \
            ardour7-lua "$here/stress_session.lua" ||
        ! grep -q '^done$' "$work/$name.report"; then
        fail "$title: Ardour did not get through the rounds"
        return
    fi
    local advanced
    advanced=$(awk '$1 == "advanced" { print $2 }' "$work/$name.report")
    # At least a second of audio must have passed through the plug-in during the 200 saves.
    if [ "${advanced:-0}" -lt 48000 ]; then
        echo "      the transport advanced only ${advanced:-0} frames"
        ok=0
    fi
    local before after stats
    before=$(chunk_of "$name" stressed ZaRoruraroze)
    resave "$tag" "$name" stressed stressed-restored || ok=0
    after=$(chunk_of "$name" stressed-restored ZaRoruraroze)
    if [ -z "$before" ] || [ "$after" != "$before" ]; then
        echo "      the last saved chunk did not survive a reload"
        ok=0
    fi
    if export_session "$tag" "$name" stressed "$work/$name.wav"; then
        stats=$(python3 "$here/audio_file.py" stats "$work/$name.wav") || ok=0
        echo "      $stats"
    else
        ok=0
    fi
    verdict $ok "$title: ${scanned}200 saves and knob sweeps from another thread while $advanced frames were processed in 64-frame blocks; reloads with the same chunk, renders finite audio" \
        "$title: the plug-in did not survive chunk calls while processing"
}

# 5. The LV2 bundle in the same host: one session with the unity probe in front (which counts the silent
# pre-roll) and the controls set in their units. Each of these checks needs the one before.

# The render tool's arguments for $lv2_setting: the same numbers with their units.
lv2_tool_settings() {
    local pair
    tool_args=()
    for pair in $lv2_setting; do
        tool_args+=(--set "${names[${pair%%=*}]}=${pair#*=}${lv2_units[${pair%%=*}]}")
    done
}

# lv2_values_as_set VALUES: whether VALUES (one line per control, in order) hold the setting's numbers.
lv2_values_as_set() {
    local pair got
    for pair in $lv2_setting; do
        got=$(sed -n "$((${pair%%=*} + 1))p" <<<"$1")
        awk -v a="$got" -v b="${pair#*=}" 'BEGIN { exit !(a + 0 == b + 0) }' ||
            { echo "      ${names[${pair%%=*}]}: ${got:-nothing}, set ${pair#*=}"; return 1; }
    done
}

# LV2 1. Ardour finds the bundle on LV2_PATH and instantiates it: its name, maker, the twelve controls by
# name with their ranges in their units, the key inputs as side-chain inputs, and the values set through
# Ardour read back unchanged.
check_lv2_load() {
    begin
    lv2_made=0
    local report="$work/lv2.report" ok=1
    plugin_type=LV2 settle_frames=$lv2_settle_frames \
        make_session zr lv2 "$lv2_uri" "$lv2_setting" UnityGain ||
        { fail "LV2 1 load: Ardour cannot load the LV2 plug-in"; return; }
    lv2_made=1
    local plugin labels ranges inputs
    plugin=$(awk -F'\t' '$1 == "plugin" { print $2 " by " $4 ", " $3 }' "$report")
    [ "$plugin" = "ZaRoruraroze by Orrel @ Quenderlab, $lv2_uri" ] || { echo "      plug-in: $plugin"; ok=0; }
    labels=$(awk -F'\t' '$1 == "param" { print $3 }' "$report" | paste -sd,)
    [ "$labels" = "$(printf '%s\n' "${lv2_names[@]}" | paste -sd,)" ] || { echo "      controls: $labels"; ok=0; }
    ranges=$(awk -F'\t' '$1 == "param" { printf "%g..%g\n", $5, $6 }' "$report" | paste -sd' ')
    [ "$ranges" = "$lv2_ranges" ] || { echo "      ranges: $ranges"; ok=0; }
    local scales
    scales=$(awk -F'\t' '$1 == "param" { print $7 }' "$report" | paste -sd' ')
    [ "$scales" = "$lv2_scales" ] || { echo "      scales: $scales"; ok=0; }
    inputs=$(awk -F'\t' '$1 == "input" { print $3 "=" $4 }' "$report" | paste -sd,)
    [ "$inputs" = "$lv2_inputs" ] || { echo "      inputs: $inputs"; ok=0; }
    lv2_values_as_set "$(awk -F'\t' '$1 == "param" { print $4 }' "$report")" || ok=0
    verdict $ok "LV2 1 load: $plugin with $(grep -c '^param' "$report") controls ($labels), ranges $ranges, sliders $scales; inputs $inputs (name=is_sidechain); set in their units ($lv2_setting) and read back" \
        "LV2 1 load: Ardour's picture of the LV2 plug-in is wrong"
}

# lv2_replay NAME: the render tool replays the silence Ardour ran through the plug-in before its export
# NAME.wav, then the test signal, with the same settings: the two must be identical.
lv2_replay() {
    local out="$work/$1.wav" preroll
    preroll=$(preroll_of "$out")
    lv2_replayed=${preroll:-?}
    lv2_tool_settings
    echo "      same settings after Ardour's $lv2_replayed frames of silence:"
    python3 "$here/audio_file.py" pad "$work/signal-48000.wav" "$work/$1.padded.wav" "${preroll:-0}" &&
        render lv2 "${tool_args[@]}" "$work/$1.padded.wav" "$work/$1.replay.wav" &&
        compare "$work/$1.replay.wav" "$out" --skip-a "${preroll:-0}"
}

# LV2 2. A fresh process exports the session: within the tolerance of the render tool given the same
# numbers in their units, bit for bit once the tool replays Ardour's silent pre-roll, and audibly not the
# defaults.
check_lv2_render() {
    begin
    [ "$lv2_made" -eq 1 ] || { fail "LV2 2 render: no session"; return; }
    local ok=1 result=""
    export_session zr lv2 lv2 "$work/lv2-saved.wav" ||
        { fail "LV2 2 render: Ardour could not render"; return; }
    lv2_tool_settings
    if render lv2 "${tool_args[@]}" "$work/signal-48000.wav" "$work/lv2.tool.wav"; then
        echo "      same settings:"
        compare "$work/lv2.tool.wav" "$work/lv2-saved.wav" --tolerance $tolerance || ok=0
        result=${compared#*max |difference| }
    else
        ok=0
    fi
    lv2_replay lv2-saved || ok=0
    audible lv2 "$work/lv2-saved.wav" || ok=0
    verdict $ok "LV2 2 render: Ardour's export matches the render tool within $tolerance (max ${result%% *}), and bit for bit once the tool replays Ardour's $lv2_replayed-frame silent pre-roll" \
        "LV2 2 render: Ardour's LV2 export and the render tool differ"
}

# LV2 3. The save after the settle time: the chunk in the session's state.ttl is the bank chunk that the
# VST 2 build writes for the same settings (through the render tool's bank file); the session holds the
# ports as set.
check_lv2_save() {
    begin
    [ "$lv2_made" -eq 1 ] || { fail "LV2 3 save: no session"; return; }
    local ok=1 expected
    lv2_tool_settings
    expected=$("$render_tool" --plugin "$plugin_so" "${tool_args[@]}" --save-preset "$work/lv2.fxb" &&
        python3 "$here/ardour_files.py" fxb-chunk "$work/lv2.fxb") ||
        { fail "LV2 3 save: the render tool failed"; return; }
    lv2_chunk=$(chunk_of lv2 lv2 ZaRoruraroze)
    if [ "$lv2_chunk" != "$expected" ]; then
        echo "      the saved chunk differs from the VST 2 build's:"
        diff <(echo "$expected") <(echo "$lv2_chunk") | head -n 20 | sed 's/^/      | /'
        ok=0
    fi
    lv2_ports=$(python3 "$here/ardour_files.py" controls "$work/sessions/lv2/lv2.ardour" ZaRoruraroze)
    lv2_values_as_set "$(cut -d' ' -f2 <<<"$lv2_ports")" || ok=0
    verdict $ok "LV2 3 save: state.ttl holds the VST 2 build's bank chunk for the same settings ($(wc -l <<<"$lv2_chunk") lines, equal), the session the ports as set" \
        "LV2 3 save: the saved LV2 state is not the settings'"
}

# LV2 4. A fresh process loads the session and saves it again: the same chunk and ports; that snapshot,
# exported by another fresh process, gives the first export's audio (Ardour's pre-roll may differ by a
# block between exports, which moves the noise generator: exact against the tool's replay of it).
check_lv2_restore() {
    begin
    [ "$lv2_made" -eq 1 ] && [ -n "${lv2_chunk:-}" ] || { fail "LV2 4 restore: nothing saved"; return; }
    local ok=1 chunk ports result=""
    resave zr lv2 lv2 lv2-restored || { fail "LV2 4 restore: Ardour cannot reload the session"; return; }
    chunk=$(chunk_of lv2 lv2-restored ZaRoruraroze)
    if [ "$chunk" != "$lv2_chunk" ]; then
        echo "      the chunk changed on reload:"
        diff <(echo "$lv2_chunk") <(echo "$chunk") | head -n 20 | sed 's/^/      | /'
        ok=0
    fi
    ports=$(python3 "$here/ardour_files.py" controls "$work/sessions/lv2/lv2-restored.ardour" ZaRoruraroze)
    [ "$ports" = "$lv2_ports" ] ||
        { echo "      the ports changed on reload: $(paste -sd' ' <<<"$ports")"; ok=0; }
    if export_session zr lv2 lv2-restored "$work/lv2-restored.wav"; then
        compare "$work/lv2-saved.wav" "$work/lv2-restored.wav" --tolerance $tolerance || ok=0
        result=${compared#*max |difference| }
        lv2_replay lv2-restored || ok=0
    else
        ok=0
    fi
    verdict $ok "LV2 4 restore: a fresh Ardour reloads the same chunk and ports; its export matches the first within $tolerance (max ${result%% *}), and the tool's bit for bit after its $lv2_replayed-frame pre-roll" \
        "LV2 4 restore: the LV2 state or the audio changed on reload"
}

# ---------------------------------------------------------------------------------------------------
# 6. The VST 3 bundle of the same build. Each of these checks needs the one before.

# The render tool's arguments for $vst3_setting: the knob positions Ardour's plain values arrive as.
vst3_tool_settings() {
    local line
    tool_args=()
    for line in $("$vst3_knobs" $vst3_setting); do
        tool_args+=(--set "${names[${line%%=*}]}=@${line#*=}")
    done
}

# VST3 1. The module exports its three entry points and nothing else; Ardour's VST 3 scanner (which
# deactivates without activating first and releases the component before its processor) records the
# class, vendor, category and buses.
check_vst3_scan() {
    begin
    vst3_scanned=0
    local ok=1 so="$vst3_bundle/Contents/x86_64-linux/ZaRoruraroze.so" exports cache info want
    exports=$(nm -D --defined-only "$so" | awk '{ print $3 }' | sort | paste -sd' ')
    [ "$exports" = "GetPluginFactory ModuleEntry ModuleExit" ] || { echo "      exports: $exports"; ok=0; }
    scan3 v3 "$vst3_bundle" || ok=0
    cache=$(grep -l "module=\"$so\"" "$work"/home-v3/cache/ardour7/vst/*.v3i 2>/dev/null | head -n 1)
    [ -n "$cache" ] && info=$(python3 "$here/ardour_files.py" scan-info "$cache") ||
        { fail "VST3 1 scan: the scanner wrote no cache entry"; return; }
    for want in "name=ZaRoruraroze" "vendor=Orrel @ Quenderlab" "category=Fx|Dynamics" "uid=$vst3_class" \
        "version=1.0.0" "n_inputs=2" "n_outputs=2" "n_aux_inputs=2" "n_aux_outputs=0" "n_midi_inputs=0"; do
        grep -qxF "$want" <<<"$info" || { echo "      scanner: expected $want"; ok=0; }
    done
    [ $ok -eq 1 ] && vst3_scanned=1
    verdict $ok "VST3 1 scan: exports $exports; ZaRoruraroze by Orrel @ Quenderlab, Fx|Dynamics, 2 in 2 out, a stereo side-chain, class $vst3_class" \
        "VST3 1 scan: the bundle or Ardour's picture of it is wrong"
}

# VST3 2. Ardour instantiates it in a session (behind the unity probe) and shows the twelve parameters by
# their full names with plain ranges and defaults, the three switches as toggles, the meter as an output
# after them and the side-chain bus's channels as side-chain inputs; the plain values set read back.
check_vst3_load() {
    begin
    vst3_made=0
    [ "$vst3_scanned" -eq 1 ] || { fail "VST3 2 load: not scanned"; return; }
    local report="$work/vst3.report" ok=1 got pair value
    scan v3 "$work/vst-v3/UnityGain.so" && plugin_type=VST3 make_session v3 vst3 ZaRoruraroze "$vst3_setting" UnityGain ||
        { fail "VST3 2 load: Ardour cannot load the VST 3 plug-in"; return; }
    vst3_made=1
    got=$(awk -F'\t' '$1 == "param" { print $3 }' "$report" | paste -sd,)
    [ "$got" = "$(printf '%s\n' "${vst3_names[@]}" | paste -sd,)" ] || { echo "      parameters: $got"; ok=0; }
    got=$(awk -F'\t' '$1 == "param" { printf "%g..%g\n", $5, $6 }' "$report" | paste -sd' ')
    [ "$got" = "$vst3_ranges" ] || { echo "      ranges: $got"; ok=0; }
    got=$(awk -F'\t' '$1 == "desc" { printf "%g\n", $7 }' "$report" | paste -sd' ')
    [ "$got" = "$vst3_defaults" ] || { echo "      defaults: $got"; ok=0; }
    got=$(awk -F'\t' '$1 == "desc" && $5 == "true" { print $2 }' "$report" | paste -sd' ')
    [ "$got" = "2 6 11" ] || { echo "      toggles: ${got:-none}"; ok=0; }
    got=$(awk -F'\t' '$1 == "meter" { print $2 "=" $3 " " $4 ".." $5 }' "$report")
    [ "$got" = "$vst3_meter=Gain Reduction 0..60" ] || { echo "      outputs: ${got:-none}"; ok=0; }
    got=$(awk -F'\t' '$1 == "input" { print $3 "=" $4 }' "$report" | paste -sd,)
    [ "$got" = "$vst3_inputs" ] || { echo "      inputs: $got"; ok=0; }
    for pair in $vst3_setting; do
        value=$(awk -F'\t' -v i="${pair%%=*}" '$1 == "param" && $2 == i { print $4 }' "$report")
        # Ardour keeps plain values as floats.
        awk -v a="$value" -v b="${pair#*=}" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= 1e-6 * (b < 0 ? -b : b) + 1e-6) }' ||
            { echo "      ${vst3_names[${pair%%=*}]}: ${value:-nothing}, set ${pair#*=}"; ok=0; }
    done
    verdict $ok "VST3 2 load: $(grep -c '^param' "$report") parameters by full name with ranges $vst3_ranges, defaults $vst3_defaults, switches 2, 6 and 11 toggles, the meter Gain Reduction 0..60 dB as output $vst3_meter, inputs $vst3_inputs (name=is_sidechain); the plain values set ($vst3_setting) read back" \
        "VST3 2 load: Ardour's picture of the VST 3 plug-in is wrong"
}

# VST3 3. A fresh process exports the session: within the tolerance of the render tool given the knob
# positions the plain values arrive as, bit for bit once the tool replays Ardour's silent pre-roll, and
# audibly not the defaults.
check_vst3_render() {
    begin
    [ "$vst3_made" -eq 1 ] || { fail "VST3 3 render: no session"; return; }
    local ok=1 result="" preroll
    export_session v3 vst3 vst3 "$work/vst3.wav" || { fail "VST3 3 render: Ardour could not render"; return; }
    vst3_tool_settings
    if render vst3 "${tool_args[@]}" "$work/signal-48000.wav" "$work/vst3.tool.wav"; then
        echo "      same knobs:"
        compare "$work/vst3.tool.wav" "$work/vst3.wav" --tolerance $tolerance || ok=0
        result=${compared#*max |difference| }
    else
        ok=0
    fi
    preroll=$(preroll_of "$work/vst3.wav")
    echo "      same knobs after Ardour's ${preroll:-?} frames of silence:"
    python3 "$here/audio_file.py" pad "$work/signal-48000.wav" "$work/vst3.padded.wav" "${preroll:-0}" &&
        render vst3 "${tool_args[@]}" "$work/vst3.padded.wav" "$work/vst3.replay.wav" &&
        compare "$work/vst3.replay.wav" "$work/vst3.wav" --skip-a "${preroll:-0}" || ok=0
    audible vst3 "$work/vst3.wav" || ok=0
    verdict $ok "VST3 3 render: Ardour's export matches the render tool within $tolerance (max ${result%% *}), and bit for bit once the tool replays Ardour's ${preroll:-?}-frame silent pre-roll" \
        "VST3 3 render: Ardour's VST 3 export and the render tool differ"
}

# VST3 4. The component state inside the session's preset image is byte for byte the bank chunk the VST 2
# build writes for the same knob positions (through the render tool's bank file); the session holds the
# plain values as set.
check_vst3_save() {
    begin
    [ "$vst3_made" -eq 1 ] || { fail "VST3 4 save: no session"; return; }
    local ok=1
    vst3_tool_settings
    "$render_tool" --plugin "$plugin_so" "${tool_args[@]}" --save-preset "$work/vst3.fxb" >/dev/null &&
        python3 "$here/ardour_files.py" fxb-bytes "$work/vst3.fxb" "$work/vst3.expected" &&
        python3 "$here/ardour_files.py" state-bytes "$work/sessions/vst3/vst3.ardour" ZaRoruraroze "$work/vst3.state" ||
        { fail "VST3 4 save: no state to compare"; return; }
    if ! cmp -s "$work/vst3.expected" "$work/vst3.state"; then
        echo "      the saved state differs from the VST 2 build's chunk:"
        diff <(tr '\0' '\n' <"$work/vst3.expected") <(tr '\0' '\n' <"$work/vst3.state") | head -n 20 | sed 's/^/      | /'
        ok=0
    fi
    vst3_ports=$(python3 "$here/ardour_files.py" controls "$work/sessions/vst3/vst3.ardour" ZaRoruraroze)
    [ "$(wc -l <<<"$vst3_ports")" -eq ${#vst3_names[@]} ] || { echo "      saved values: $(paste -sd' ' <<<"$vst3_ports")"; ok=0; }
    verdict $ok "VST3 4 save: the component state is the VST 2 build's bank chunk for the same knobs, byte for byte ($(wc -c <"$work/vst3.state") bytes with its terminator), beside the ${#vst3_names[@]} plain values" \
        "VST3 4 save: the saved VST 3 state is not the settings'"
}

# vst3_resave NAME SNAPSHOT EDIT...: a copy of the session (EDIT: an ardour_files.py command run on it,
# "none" for none), reloaded and saved again by a fresh process; its state bytes go to $work/NAME.state.
vst3_resave() {
    local name=$1 edit=("${@:3}") dir="$work/sessions/$1"
    rm -rf "$dir"
    cp -r "$work/sessions/vst3" "$dir" && mv "$dir/vst3.ardour" "$dir/$name.ardour" || return 1
    [ "${edit[0]}" = none ] || python3 "$here/ardour_files.py" "${edit[0]}" "$dir/$name.ardour" ZaRoruraroze "${edit[@]:1}" || return 1
    resave v3 "$name" "$name" "$2" &&
        python3 "$here/ardour_files.py" state-bytes "$dir/$2.ardour" ZaRoruraroze "$work/$name.state"
}

# VST3 5. A fresh process restores the session to the same state and plain values, and its export to the
# first one's audio (bit for bit against the tool's replay of its pre-roll); the state alone restores it,
# and it wins over saved plain values that contradict it (Threshold -60 dB saved beside -20 dB).
check_vst3_restore() {
    begin
    [ "$vst3_made" -eq 1 ] && [ -f "$work/vst3.state" ] || { fail "VST3 5 restore: nothing saved"; return; }
    local ok=1 variant result="" preroll
    for variant in "restored none" "chunkonly strip-controls" "contradicted set-port 7 -60"; do
        set -- $variant
        if ! vst3_resave "$1" "$1-saved" "${@:2}" || ! cmp -s "$work/vst3.state" "$work/$1.state"; then
            echo "      $1: the state changed on reload"
            ok=0
        fi
    done
    [ "$(python3 "$here/ardour_files.py" controls "$work/sessions/restored/restored-saved.ardour" ZaRoruraroze)" = "$vst3_ports" ] ||
        { echo "      the saved values changed on reload"; ok=0; }
    if export_session v3 restored restored-saved "$work/vst3-restored.wav"; then
        compare "$work/vst3.wav" "$work/vst3-restored.wav" --tolerance $tolerance || ok=0
        result=${compared#*max |difference| }
        preroll=$(preroll_of "$work/vst3-restored.wav")
        python3 "$here/ardour_files.py" fxb "$work/sessions/restored/restored-saved.ardour" ZaRoruraroze \
            "$work/vst3-restored.fxb" "$vst2_id" &&
            python3 "$here/audio_file.py" pad "$work/signal-48000.wav" "$work/vst3-restored.padded.wav" "${preroll:-0}" &&
            render vst3 --preset "$work/vst3-restored.fxb" "$work/vst3-restored.padded.wav" "$work/vst3-restored.tool.wav" &&
            compare "$work/vst3-restored.tool.wav" "$work/vst3-restored.wav" --skip-a "${preroll:-0}" || ok=0
    else
        ok=0
    fi
    verdict $ok "VST3 5 restore: fresh Ardours restore the same state from state and values, from the state alone and against contradicting values; the export matches the first within $tolerance (max ${result%% *}), and the restored state in the render tool gives it bit for bit after its ${preroll:-?}-frame pre-roll" \
        "VST3 5 restore: the VST 3 state or the audio changed on reload"
}

# VST3 6. While the transport rolls, Ardour reads the meter from the plug-in's output parameter changes.
check_vst3_meter() {
    begin
    [ "$vst3_made" -eq 1 ] || { fail "VST3 6 meter: no session"; return; }
    local largest
    attempt vst3-meter 30 v3 ZR_SESSION_DIR="$work/sessions/vst3" ZR_SESSION_NAME=vst3 ZR_PLUGIN=ZaRoruraroze \
        ZR_ACTION=meter ZR_REPORT="$work/vst3-meter.report" ardour7-lua "$here/plugin_session.lua" &&
        grep -q '^done$' "$work/vst3-meter.report" || { fail "VST3 6 meter: Ardour could not roll the session"; return; }
    largest=$(awk -F'\t' -v port=$vst3_meter '$1 == "meter" && $2 == port { print $3 }' "$work/vst3-meter.report")
    # Threshold -20 dB, ratio 4 on the test signal: several dB of reduction at its loud parts.
    awk -v v="${largest:-0}" 'BEGIN { exit !(v > 1 && v <= 60) }'
    verdict $((! $?)) "VST3 6 meter: Gain Reduction read up to $largest dB while the transport rolled" \
        "VST3 6 meter: the meter read ${largest:-nothing} while rolling"
}

# VST3 7. Ardour lists the factory presets where hosts look for them and loads one without waiting for
# ever (a host's wait on itself if setState asked for a restart): the state is then the preset's.
check_vst3_preset() {
    begin
    [ "$vst3_made" -eq 1 ] || { fail "VST3 7 preset: no session"; return; }
    local folder="$work/home-v3/.vst3/presets/Orrel @ Quenderlab/ZaRoruraroze" ok=1
    mkdir -p "$folder" && cp "$root"/presets/vst3/*.vstpreset "$folder/" || { fail "VST3 7 preset: no preset files"; return; }
    attempts=2 attempt vst3-preset 30 v3 ZR_SESSION_DIR="$work/sessions/vst3" ZR_SESSION_NAME=vst3 \
        ZR_PLUGIN=ZaRoruraroze ZR_ACTION=preset ZR_PRESET="Bus Glue" ZR_SNAPSHOT=preset \
        ZR_REPORT="$work/vst3-preset.report" ardour7-lua "$here/plugin_session.lua" && grep -q '^done$' "$work/vst3-preset.report" &&
        python3 "$here/ardour_files.py" state-bytes "$work/sessions/vst3/preset.ardour" ZaRoruraroze "$work/preset.state" &&
        python3 "$here/ardour_files.py" preset-state "$folder/Bus Glue.vstpreset" "$work/preset.expected" &&
        cmp -s "$work/preset.expected" "$work/preset.state" || ok=0
    verdict $ok "VST3 7 preset: with the $(ls "$folder" | wc -l) factory presets where hosts look, Ardour lists $(awk -F'\t' '$1 == "preset" { print $2 }' "$work/vst3-preset.report") and loads it to its exact state without a hang" \
        "VST3 7 preset: Ardour cannot load a factory preset"
}

# ---------------------------------------------------------------------------------------------------

echo "ardour: $(ardour7-lua --version 2>/dev/null | head -n 1 | tr -s ' '), scratch folder $work"
begin
if ! prepare; then
    fail "prepare: cannot build the plug-in, the render tool or the unity plug-in"
else
    check_scripts
    check_scan
    check_renders
    check_restore
    check_stress zr "release build"
    begin
    echo "      building a Debug plug-in with assertions in $debug_build"
    mkdir -p "$work/vst-debug"
    # One build at a time in that folder, should two runs meet.
    if (
        flock 9 &&
            cmake -S "$root" --preset debug -B "$debug_build" >"$work/logs/cmake-debug.log" 2>&1 &&
            cmake --build "$debug_build" --target ZaRoruraroze ZaRorurarozeVst3 -j 2 >>"$work/logs/cmake-debug.log" 2>&1 &&
            cp "$debug_build/ZaRoruraroze.so" "$work/vst-debug/"
    ) 9>"$debug_build.lock"; then
        touch -d "1 minute ago" "$work/vst-debug/ZaRoruraroze.so"
        if scan debug "$work/vst-debug/ZaRoruraroze.so"; then
            check_stress debug "assertion build"
        else
            fail "4 scan order and chunk calls, assertion build: the scanner fails on this build"
        fi
    else
        tail -n 20 "$work/logs/cmake-debug.log" | sed 's/^/      | /'
        fail "4 scan order and chunk calls, assertion build: cannot build it"
    fi
    if [ -n "$lv2_bundle" ]; then
        check_lv2_load
        check_lv2_render
        check_lv2_save
        check_lv2_restore
        check_stress zr "release build" LV2
    else
        echo "      LV2 1-5: skipped, $build makes no LV2 bundle (it needs lv2-dev)"
    fi
    check_vst3_scan
    check_vst3_load
    check_vst3_render
    check_vst3_save
    check_vst3_restore
    check_vst3_meter
    check_vst3_preset
    if [ "$vst3_scanned" -eq 1 ]; then check_stress v3 "release build" VST3; fi
    if [ -f "$debug_build/vst3/ZaRoruraroze.vst3/Contents/x86_64-linux/ZaRoruraroze.so" ]; then
        mkdir -p "$work/vst3-v3debug" && cp -r "$debug_build/vst3/ZaRoruraroze.vst3" "$work/vst3-v3debug/" &&
            touch -d "1 minute ago" "$work/vst3-v3debug/ZaRoruraroze.vst3/Contents/x86_64-linux/ZaRoruraroze.so"
        scan3 v3debug "$work/vst3-v3debug/ZaRoruraroze.vst3" &&
            ls "$work"/home-v3debug/cache/ardour7/vst/*.v3i >/dev/null 2>&1 &&
            check_stress v3debug "assertion build" VST3 ||
            fail "VST3 8 scan order and saves, assertion build: the scanner fails on this build"
    fi
    if grep -h 'Assertion "' "$work"/logs/*.log 2>/dev/null | sort -u | sed 's/^/      /' | grep .; then
        fail "assertions: the plug-in's contract was broken inside Ardour (above)"
    fi
fi

echo "ardour: $passed passed, $failed failed in $(elapsed "$run_start") s"
if [ $failed -eq 0 ] && [ $keep -eq 0 ]; then
    rm -rf "$work"
else
    echo "ardour: logs, sessions and renders kept in $work"
fi
[ $failed -eq 0 ]
