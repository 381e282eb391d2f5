#!/usr/bin/env bash
# The release files as a musician gets them: ./dist.sh makes them; lintian finds no error in the Debian
# package; the package unpacked into a scratch root (dpkg -x) renders a file with its own tool and plug-in,
# bit for bit as the build does, and its LV2 bundle, CLAP plug-in (in qtractor's scanner) and manual pages
# work, and its VST 3 bundle and presets sit where hosts look; the Windows zip holds both DLLs, both .clap
# files, the VST 3 bundle of both, the documents and the presets.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
for tool in dpkg-deb lintian python3; do
    command -v $tool >/dev/null || { echo "SKIPPED: $tool is not installed (apt-get install dpkg-dev lintian python3)"; exit 77; }
done
status=0
fail() { echo "FAILED: $*"; status=1; }

./dist.sh || { echo "FAILED: dist.sh"; exit 1; }
deb=$(ls dist/zaroruraroze_*.deb)
lint=$(lintian "$deb" 2>&1 | grep -v 'running with root privileges')
echo "lintian: $(grep -c '^E:' <<<"$lint") errors, $(grep -c '^W:' <<<"$lint") warnings"
[ -n "$lint" ] && echo "$lint"
grep -q '^E:' <<<"$lint" && fail "lintian reports errors"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root" || fail "dpkg -x"
usr=$scratch/root/usr
for file in bin/zaroruraroze-render bin/zaroruraroze-jack lib/vst/ZaRoruraroze.so lib/lv2/ZaRoruraroze.lv2/manifest.ttl \
    lib/clap/ZaRoruraroze.clap \
    share/man/man1/zaroruraroze-render.1.gz share/man/man1/zaroruraroze-jack.1.gz share/doc/zaroruraroze/copyright; do
    [ -e "$usr/$file" ] || fail "the package lacks /usr/$file"
done
vst3=$usr/lib/vst3/ZaRoruraroze.vst3/Contents/x86_64-linux/ZaRoruraroze.so
[ "$(nm -D --defined-only "$vst3" 2>/dev/null | awk '{ print $3 }' | sort | paste -sd' ')" = \
    "GetPluginFactory ModuleEntry ModuleExit" ] || fail "the package lacks the VST 3 bundle, or it exports other names"
[ -f "$usr/share/vst3/presets/Orrel @ Quenderlab/ZaRoruraroze/Bus Glue.vstpreset" ] ||
    fail "the package lacks the VST 3 factory presets"
audio="python3 tests/ardour/audio_file.py"
$audio signal "$scratch/in.wav" "$scratch/l.wav" "$scratch/r.wav" --seconds 1
settings=(--set Threshold=-20dB --set Ratio=4)
# The unpacked tool finds the unpacked plug-in by itself (../lib/vst).
"$usr/bin/zaroruraroze-render" --quiet --float "${settings[@]}" "$scratch/in.wav" "$scratch/deb.wav" || fail "unpacked render"
build/dist/tools/zaroruraroze-render --quiet --float --plugin build/dist/ZaRoruraroze.so "${settings[@]}" \
    "$scratch/in.wav" "$scratch/build.wav" || fail "build render"
$audio compare "$scratch/build.wav" "$scratch/deb.wav" || fail "the unpacked plug-in renders differently"
if command -v lv2apply >/dev/null; then
    # lv2apply feeds every audio input from the file: the signal, and a silent key.
    $audio join "$scratch/in-key.wav" "$scratch/in.wav" "$scratch/in.wav" --gain-more 0
    LV2_PATH=$usr/lib/lv2 lv2apply -i "$scratch/in-key.wav" -o "$scratch/lv2.wav" -c threshold -20 -c ratio 4 \
        urn:quenderlab:zaroruraroze >/dev/null 2>&1 || fail "unpacked LV2 bundle"
    $audio compare "$scratch/build.wav" "$scratch/lv2.wav" --tolerance 1e-5 || fail "the unpacked LV2 bundle renders differently"
fi
scanner=$(ls /usr/lib/*/qtractor/qtractor_plugin_scan 2>/dev/null | head -n 1)
if [ -n "$scanner" ]; then
    echo "CLAP:$usr/lib/clap/ZaRoruraroze.clap" | timeout 60 "$scanner" 2>/dev/null | grep -q '^CLAP|ZaRoruraroze|2:2|' ||
        fail "qtractor's scanner does not list the unpacked CLAP plug-in"
fi
for page in "$usr"/share/man/man1/*.1.gz; do
    warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

zip=$(ls dist/ZaRoruraroze-*-windows.zip 2>/dev/null)
if [ -n "$zip" ]; then
    entries=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")
    for entry in 32-bit/ZaRoruraroze.dll 64-bit/ZaRoruraroze.dll 32-bit/ZaRoruraroze.clap 64-bit/ZaRoruraroze.clap \
        README.md docs/manual.md presets/ presets/vst3/ \
        ZaRoruraroze.vst3/Contents/x86-win/ZaRoruraroze.vst3 ZaRoruraroze.vst3/Contents/x86_64-win/ZaRoruraroze.vst3; do
        grep -q "/$entry" <<<"$entries" || fail "the zip lacks $entry"
    done
    echo "$zip: $(wc -l <<<"$entries") entries"
fi
[ $status -eq 0 ] && echo "package: the .deb unpacks and renders as the build does"
exit $status
