#!/usr/bin/env bash
# Makes the release files into dist/: the Debian package (cpack; the VST 2 module into /usr/lib/vst, the
# LV2 bundle into /usr/lib/lv2, the CLAP plug-in into /usr/lib/clap, the tools into /usr/bin with their
# manual pages, the documents and presets into /usr/share/doc/zaroruraroze) and, where mingw-w64 is
# installed, the Windows zip (both DLLs and both .clap files, the presets and the manual). As root it installs what is missing.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh dist

version=$(sed -n 's/^project(ZaRoruraroze VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
jobs=$(nproc)
mkdir -p dist

cmake --preset dist >/dev/null
cmake --build build/dist -j "$jobs" >/dev/null
rm -f dist/zaroruraroze_*.deb
(cd build/dist && cpack -G DEB -B "$PWD/../../dist" >/dev/null)
rm -rf dist/_CPack_Packages
echo "dist/$(cd dist && ls zaroruraroze_*.deb)"

if ! command -v i686-w64-mingw32-g++-posix >/dev/null || ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    echo "mingw-w64 is not installed: no Windows zip (apt-get install mingw-w64)"
    exit 0
fi
name=ZaRoruraroze-$version-windows
stage=build/dist/windows/$name
rm -rf "$stage"
mkdir -p "$stage/docs"
for bits in 32 64; do
    cmake --preset "win$bits" >/dev/null
    cmake --build "build/win$bits" -j "$jobs" --target ZaRoruraroze ZaRorurarozeClap >/dev/null
    mkdir -p "$stage/$bits-bit"
    cp "build/win$bits/ZaRoruraroze.dll" "build/win$bits/clap/ZaRoruraroze.clap" "$stage/$bits-bit/"
    # The link keeps its symbols for the debugger; a musician's copy needs none.
    for file in "$stage/$bits-bit/ZaRoruraroze.dll" "$stage/$bits-bit/ZaRoruraroze.clap"; do
        if [ $bits = 32 ]; then i686-w64-mingw32-strip "$file"; else x86_64-w64-mingw32-strip "$file"; fi
    done
done
cp README.md "$stage/"
cp docs/*.md "$stage/docs/"
[ -d docs/figures ] && cp -r docs/figures "$stage/docs/"
[ -d presets ] && mkdir -p "$stage/presets" && cp presets/*.fxp presets/*.fxb presets/*.md "$stage/presets/" 2>/dev/null || true
rm -f "dist/$name.zip"
(cd build/dist/windows && cmake -E tar cf "$OLDPWD/dist/$name.zip" --format=zip "$name")
echo "dist/$name.zip"
