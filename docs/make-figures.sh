#!/usr/bin/env bash
# Makes every picture of docs/manual.md from the built binaries: the render tool driving the plug-in
# binary (transfer curves, the demo music, the side-chain in listen mode), lv2file driving the LV2 bundle
# where a key signal is needed (the VST 2 plug-in takes none), figure-data for what only the engine classes
# can show (the band filters, the band times) and for reading rendered files, and gnuplot.
#
# usage: docs/make-figures.sh [BUILD_FOLDER [OUTPUT_FOLDER]]
#        (defaults: build/release and docs/figures; build first:
#         cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release && cmake --build build/release -j2)
set -euo pipefail
docs=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$docs/../build/release}" && pwd)
mkdir -p "${2:-$docs/figures}"
out=$(cd "${2:-$docs/figures}" && pwd)

render=$build/tools/zaroruraroze-render
data=$build/tools/figure-data
demo=$build/tools/make-demo-signal
plugin=$build/ZaRoruraroze.so
for program in "$render" "$data" "$demo" "$plugin"; do
    if [ ! -f "$program" ]; then
        echo "make-figures: $program is missing; build first (see the top of this script)" >&2
        exit 1
    fi
done
if ! command -v gnuplot >/dev/null; then
    echo "make-figures: gnuplot is missing (Debian package gnuplot-nox)" >&2
    exit 1
fi
if ! command -v lv2file >/dev/null || ! command -v python3 >/dev/null || [ ! -d "$build/lv2/ZaRoruraroze.lv2" ]; then
    echo "make-figures: the side-chain picture needs lv2file, python3 and the LV2 bundle (lv2-dev)" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The same look everywhere: a readable font, a grid, the key out of the way of the curves.
style="set grid lc rgb '#d0d0d0'
set key box opaque samplen 2
set border lw 1
set style line 1 lc rgb '#1f5fbf' lw 2.5
set style line 2 lc rgb '#d0621d' lw 2.5
set style line 3 lc rgb '#2e9a3e' lw 2.5
set style line 4 lc rgb '#a1309b' lw 2.5
set style line 5 lc rgb '#7a5c2e' lw 2.5
set style line 6 lc rgb '#17a3b3' lw 2.5
set style line 7 lc rgb '#222222' lw 2.5
set style line 8 lc rgb '#e6a800' lw 2.5
set style line 9 lc rgb '#9a9a9a' lw 1.5 dt 2"
plot_png() { # NAME SCRIPT [WIDTH,HEIGHT]: draws OUTPUT_FOLDER/NAME.png
    printf "set terminal pngcairo size %s font 'DejaVu Sans,13' noenhanced linewidth 1.5\n%s\nset output '%s'\n%s\n" \
        "${3:-1000,700}" "$style" "$out/$1.png" "$2" | gnuplot
}

# ---- Static transfer curves: the render tool's 1 kHz sine sweep at each setting.
# curve NAME SETTINGS...: the table the render tool prints, as "input output" lines.
curve() {
    local name=$1
    shift
    "$render" --plugin "$plugin" "$@" --curve "$work/$name-tool.png" | awk 'NR > 2 { print $1, $2 }' \
        >"$work/$name.dat"
}
transfer_axes="set xlabel 'input level (dBFS, peak of a 1 kHz sine in both channels)'
set ylabel 'steady output level (dBFS)'
set xrange [-80:12]
set xtics 10
set ytics 10
set key top left"

# family NAME YMIN:YMAX PARAMETER UNIT DEFAULT "VALUES" TITLE FIXED_SETTINGS...: one curve per value.
family() {
    local name=$1 yrange=$2 parameter=$3 unit=$4 default=$5 values=$6 title=$7
    shift 7
    local plots="x ls 9 title 'unity'" line=0 label
    for value in $values; do
        curve "$name$value" "$@" --set "$parameter=$value$unit"
        line=$((line + 1))
        label="$parameter $value${unit:+ $unit}"
        [ "$value" = "$default" ] && label="$label (default)"
        plots="$plots, '$work/$name$value.dat' w l ls $line title '$label'"
    done
    plot_png "$name" "$transfer_axes
set yrange [$yrange]
set title '$title'
plot $plots"
}
family transfer-threshold -80:12 Threshold dB 0 "-40 -30 -20 -10 0" 'Threshold moves the knee (Ratio 4)' \
    --set Ratio=4
family transfer-ratio -80:12 Ratio "" 32 "0.5 1 1.5 2 4 32" \
    'Ratio sets the slope above the knee (Threshold -30 dB)' --set Threshold=-30dB
family transfer-drive -90:20 Drive dB 0 "-10 0 +10 +20" \
    'Drive: more level into the detector and the output (Threshold -20 dB, Ratio 4)' \
    --set Threshold=-20dB --set Ratio=4
family transfer-mix -80:12 Mix % 100 "0 25 50 75 100" \
    'Mix blends the dry signal back in (Threshold -40 dB, Ratio 32)' --set Threshold=-40dB --set Ratio=32

frequency_axes="set logscale x
set xrange [10:22000]
set xtics ('10' 10, '20' 20, '50' 50, '100' 100, '200' 200, '500' 500, '1k' 1000, '2k' 2000, '5k' 5000, '10k' 10000, '20k' 20000)
set xlabel 'frequency (Hz)'
set ylabel 'gain (dB)'"

# ---- Knob laws: the value each control takes at each knob position, read back from the plug-in's state.
controls=("Side HP" "Side LP" Drive Attack Release Threshold Ratio "Out Gain")
for step in $(seq 0 40); do
    position=$(awk -v s="$step" 'BEGIN { printf "%.3f", s / 40 }')
    settings=()
    for control in "${controls[@]}"; do settings+=(--set "$control=@$position"); done
    # The state text: a key line indented once, its value line twice.
    "$render" --plugin "$plugin" --print-state "${settings[@]}" | awk -v p="$position" '
        /^\t[^\t]/ { key = substr($0, 2) }
        /^\t\t/ { value[key] = substr($0, 3) }
        function db(x) { return x > 0 ? 20 * log(x) / log(10) : -1000 }
        END { printf "%s %s %s %s %s %s %s %s %s\n", 100 * p, value["sidechainHighpassCutoff"],
              value["sidechainLowpassCutoff"], db(value["drive"]), 1000 * value["attack"],
              1000 * value["release"], db(value["threshold"]), value["ratio"], db(value["outputGain"]) }'
done >"$work/knobs.dat"
plot_png knob-laws "set multiplot layout 2,2 title 'Knob laws: the value at each knob position'
set xlabel 'knob position (%)'
set xrange [0:100]
set xtics 25
set key top left
set logscale y
set ylabel 'frequency (Hz)'
set yrange [4:50000]
set ytics ('5' 5, '20' 20, '100' 100, '500' 500, '2k' 2000, '10k' 10000, '40k' 40000)
set title 'Side HP and Side LP: logarithmic'
plot '$work/knobs.dat' u 1:2 w l ls 1 title 'Side HP', '' u 1:3 w l ls 2 title 'Side LP'
set ylabel 'time (ms)'
set yrange [0.1:10000]
set ytics ('0.1' 0.1, '1' 1, '10' 10, '100' 100, '1 s' 1000, '10 s' 10000)
set title 'Attack and Release: fourth root'
unset key
plot '$work/knobs.dat' u 1:5 w l ls 3 notitle
unset logscale y
set autoscale y
set ytics autofreq
set ylabel 'gain (dB)'
set yrange [-60:60]
set ytics 20
set key bottom right box opaque
set title 'Gains in dB'
plot '$work/knobs.dat' u 1:4 w l ls 4 title 'Drive (logarithmic)', \
  '' u 1:7 w l ls 5 title 'Threshold (square root)', '' u 1:9 w l ls 6 dt 2 title 'Out Gain (square root)'
unset logscale y
set ylabel 'ratio (dB/dB)'
set yrange [0:64]
set ytics 8
set title 'Ratio: logarithmic'
unset key
plot '$work/knobs.dat' u 1:8 w l ls 7 notitle
unset multiplot" 1000,800

# ---- The 33 detector bands: the detector's own splitter, driven by an impulse.
"$data" bands >"$work/bands.dat"
plot_png bands "set title 'The 33 detector bands (splitter of the detector at 44.1 kHz)'
$frequency_axes
set yrange [-40:15]
set key top center
plot for [k=2:34] '$work/bands.dat' u 1:k w l lc rgb (k % 2 ? '#1f5fbf' : '#6fa0e0') lw 1.5 notitle, \
  NaN w l lc rgb '#1f5fbf' lw 1.5 title 'each band (alternate bands in light and dark blue)', \
  '$work/bands.dat' u 1:35 w l ls 2 lw 3 title 'power sum of all bands (what the detector sees of a sine)'"

"$data" times >"$work/times.dat"
plot_png band-times "set title 'Attack and release of each band at the defaults (Attack = Release = 200 ms)'
set logscale xy
set xrange [15:25000]
set yrange [0.1:400]
set xtics ('20' 20, '50' 50, '100' 100, '200' 200, '500' 500, '1k' 1000, '2k' 2000, '5k' 5000, '10k' 10000, '20k' 20000)
set ytics ('0.1' 0.1, '0.2' 0.2, '0.5' 0.5, '1' 1, '2' 2, '5' 5, '10' 10, '20' 20, '50' 50, '100' 100, '200' 200)
set xlabel 'band centre frequency (Hz)'
set ylabel 'time (ms)'
set key top right
plot '$work/times.dat' u 2:3 w l ls 1 title 'time constant of the smoothing (attack and release alike)', \
  '' u 2:5 w p pt 7 ps 1.2 lc rgb '#d0621d' title 'measured attack: sine burst at the band centre to 63 %', \
  '' u 2:6 w p pt 6 ps 1.6 lw 2 lc rgb '#2e9a3e' title 'measured release: back down to 37 %'"

# ---- Gain reduction on the demo music, through the plug-in binary.
"$demo" "$work/demo.wav" >/dev/null
music() { # NAME SETTINGS...: renders the demo and reads input, output and gain change per 10 ms
    local name=$1
    shift
    "$render" --plugin "$plugin" --quiet --float "$@" "$work/demo.wav" "$work/$name.wav"
    "$data" levels "$work/demo.wav" "$work/$name.wav" >"$work/$name.dat"
}
common=(--set Threshold=-10dB --set Ratio=4)
# Two pictures above each other on one time axis.
upper_panel="set lmargin 11
set rmargin 3
set origin 0,0.5
set size 1,0.45"
lower_panel="set origin 0,0
set size 1,0.5"
music fast "${common[@]}" --set Attack=5ms --set Release=80ms
music slow "${common[@]}" --set Attack=50ms --set Release=500ms
plot_png gain-reduction-times "set multiplot title 'Demo music through the plug-in (Threshold -10 dB, Ratio 4)'
$upper_panel
set format x ''
set ylabel 'level (dBFS, RMS 10 ms)'
set yrange [-50:0]
set key bottom right
plot '$work/fast.dat' u 1:2 w l lc rgb '#9a9a9a' lw 1.5 title 'input'
$lower_panel
set format x '%g'
set xlabel 'time (s)'
set ylabel 'gain change (dB)'
set yrange [-16:1]
set key bottom left
plot '$work/fast.dat' u 1:4 w l ls 1 lw 1.5 title 'Attack 5 ms, Release 80 ms', \
  '$work/slow.dat' u 1:4 w l ls 2 lw 2 title 'Attack 50 ms, Release 500 ms'
unset multiplot" 1000,800

# Hilbert, where it matters most: fast times. On the demo in 10 ms windows, and sample by sample on a steady
# 55 Hz sine (an A1 bass note), where the gain ripples at twice the tone's frequency.
fast=(--set Attack=2ms --set Release=20ms)
music veryFast "${common[@]}" "${fast[@]}"
music veryFastHilbert "${common[@]}" "${fast[@]}" --set Hilbert=on
"$data" tone "$work/bass.wav" 55 1 -6
for h in off on; do
    "$render" --plugin "$plugin" --quiet --float "${common[@]}" "${fast[@]}" --set "Hilbert=$h" \
        "$work/bass.wav" "$work/bass-$h.wav"
    "$data" gain "$work/bass.wav" "$work/bass-$h.wav" 0.5 0.6 >"$work/ripple-$h.dat"
done
plot_png gain-reduction-hilbert "set multiplot title 'Hilbert detection (Threshold -10 dB, Ratio 4, Attack 2 ms, Release 20 ms)'
$upper_panel
set xlabel 'time (s), demo music'
set ylabel 'gain change (dB, 10 ms)'
set yrange [-16:1]
set key bottom left
plot '$work/veryFast.dat' u 1:4 w l ls 1 lw 1.5 title 'Hilbert off', \
  '$work/veryFastHilbert.dat' u 1:4 w l ls 2 lw 1.5 title 'Hilbert on'
$lower_panel
set xlabel 'time (s), a steady 55 Hz sine at -6 dBFS'
set ylabel 'gain, sample by sample (dB)'
set yrange [-11.6:-10.6]
set key center right
plot '$work/ripple-off.dat' w l ls 1 title 'Hilbert off', '$work/ripple-on.dat' w l ls 2 title 'Hilbert on'
unset multiplot" 1000,800

# ---- The side-chain filters as Sd Listen plays them: an impulse rendered through the plug-in binary,
# minus silence rendered the same way (which removes the plug-in's noise).
"$data" signals "$work/impulse.wav" "$work/silence.wav"
listen() { # NAME SETTINGS...
    local name=$1
    shift
    "$render" --plugin "$plugin" --quiet --set "Sd Listen=on" "$@" "$work/impulse.wav" "$work/$name-i.wav"
    "$render" --plugin "$plugin" --quiet --set "Sd Listen=on" "$@" "$work/silence.wav" "$work/$name-s.wav"
    "$data" response "$work/$name-i.wav" "$work/$name-s.wav" >"$work/$name.dat"
}
listen listenDefault
listen listenHp100 --set "Side HP=100"
listen listenHp500 --set "Side HP=500"
listen listenLp2k --set "Side LP=2k"
listen listenBand --set "Side HP=200" --set "Side LP=5k"
plot_png sidechain-listen "set title 'Side-chain filters, heard with Sd Listen on (12 dB per octave each)'
$frequency_axes
set yrange [-48:6]
set key bottom center
plot '$work/listenHp100.dat' w l ls 1 title 'Side HP 100 Hz', '$work/listenHp500.dat' w l ls 2 title 'Side HP 500 Hz', \
  '$work/listenLp2k.dat' w l ls 3 title 'Side LP 2 kHz', \
  '$work/listenBand.dat' w l ls 4 dt 4 title 'Side HP 200 Hz and Side LP 5 kHz', \
  '$work/listenDefault.dat' w l ls 7 dt 2 title 'defaults: Side HP 20 Hz, Side LP 40 kHz'"

# ---- A voice ducking music: the demo music with a voice-like signal as its key (the third and fourth
# channels of one file), through the LV2 bundle in lv2file with Sd Source on "key".
"$data" voice "$work/voice.wav" 10
python3 "$docs/../tests/ardour/audio_file.py" join "$work/keyed.wav" "$work/demo.wav" "$work/voice.wav"
LV2_PATH=$build/lv2 lv2file -b 1024 -p sidechainSource:1 -p sidechainHighpassCutoff:100 -p threshold:-30 \
    -p ratio:4 -p attack:50 -p release:1000 -i "$work/keyed.wav" -o "$work/ducked.wav" \
    urn:quenderlab:zaroruraroze >/dev/null
"$data" levels "$work/demo.wav" "$work/ducked.wav" >"$work/ducked.dat"
"$data" levels "$work/voice.wav" "$work/voice.wav" >"$work/voice.dat"
plot_png sidechain-ducking "set multiplot title 'A voice ducking music through the key input (Sd Source on \"key\")'
$upper_panel
set format x ''
set ylabel 'level (dBFS, RMS 10 ms)'
set yrange [-60:0]
set key bottom right
plot '$work/voice.dat' u 1:2 w l ls 1 lw 1.5 title 'voice (the key)', \
  '$work/ducked.dat' u 1:2 w l lc rgb '#9a9a9a' lw 1.5 title 'music in', '' u 1:3 w l ls 2 lw 1.5 title 'music out'
$lower_panel
set format x '%g'
set xlabel 'time (s)'
set ylabel 'gain change of the music (dB)'
set yrange [-20:1]
set key bottom right
plot '$work/ducked.dat' u 1:4 w l ls 2 lw 2 title 'Threshold -30 dB, Ratio 4, Attack 50 ms, Release 1 s, Side HP 100 Hz'
unset multiplot" 1000,800

# ---- The factory presets: their transfer curves, and their gain change on the demo music (Out Gain at 0 dB,
# so the make-up gain does not hide the reduction).
presets=$docs/../presets
preset_names=(bus-glue vocal-leveller drum-punch bass-tamer near-limiter parallel-crush kick-proof-glue peak-catcher)
preset_titles=("Bus Glue" "Vocal Leveller" "Drum Punch" "Bass Tamer" "Near Limiter" "Parallel Crush" "Kick-Proof Glue"
    "Peak Catcher")
curves="x ls 9 title 'unity'"
panels=""
for i in "${!preset_names[@]}"; do
    name=${preset_names[$i]}
    curve "preset-$name" --preset "$presets/$name.fxp"
    music "music-preset-$name" --preset "$presets/$name.fxp" --set "Out Gain=0dB"
    curves="$curves, '$work/preset-$name.dat' w l ls $((i + 1)) title '${preset_titles[$i]}'"
    panels="$panels
set title '${preset_titles[$i]}'
plot '$work/music-preset-$name.dat' u 1:4 w l ls $((i + 1)) lw 1.5 notitle"
done
plot_png presets-transfer "$transfer_axes
set yrange [-80:12]
set title 'The factory presets: static transfer curves (make-up gain included)'
plot $curves"
plot_png presets-gain-reduction "unset key
set multiplot layout 4,2 title 'The factory presets on the demo music: gain change in dB, 10 ms windows (Out Gain at 0 dB)'
set xlabel 'time (s)'
set yrange [-14:1]
set ytics 4
$panels
unset multiplot" 1000,1100

# ---- What the render tool draws itself.
# (From the work folder: the picture's title names the input file as given.)
(cd "$work" && "$render" --plugin "$plugin" --quiet "${common[@]}" --set Attack=5ms --set Release=80ms \
    demo.wav plot.wav --plot "$out/render-plot.png")

# ---- The editor: the plug-in binary's own window in a VST 2 host on a virtual X display (Xvfb), while
# three tones (100 Hz, 1 kHz, 6 kHz) play through it at Threshold -20 dB, Ratio 4 and Side HP at 60 Hz.
host=$build/tests/editor/vst-editor-host
if [ ! -x "$host" ] || ! command -v xvfb-run >/dev/null || ! command -v import >/dev/null; then
    echo "make-figures: the editor's pictures need $host, xvfb-run and imagemagick" >&2
    exit 1
fi
# editor_shot NAME HOST_STEPS...: the window when the steps are done (the host then waits for the shot).
editor_shot() {
    local name=$1
    shift
    xvfb-run -a -s "-screen 0 1600x1200x24" bash -c '
        host=$1 plugin=$2 png=$3 cue=$4
        shift 4
        "$host" "$plugin" open "$@" say shoot until "$cue" close >"$cue.log" 2>&1 &
        for i in $(seq 300); do grep -q "^shoot" "$cue.log" 2>/dev/null && break; sleep 0.1; done
        read -r _ _ x y w h < <(grep "^window" "$cue.log")
        import -window root -crop "${w}x${h}+$x+$y" +repage "$png"
        touch "$cue"
        wait' editor-shot "$host" "$plugin" "$out/$name.png" "$work/cue-$name" "$@"
    [ -s "$out/$name.png" ] || { echo "make-figures: no picture of the editor ($name)" >&2; exit 1; }
}
editor_shot editor set 7 0.144589 set 8 0.428571 set 0 0.414741 process 2500 0.5

echo "make-figures: $(ls "$out" | grep -c '\.png$') pictures in $out"
