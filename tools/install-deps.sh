#!/usr/bin/env bash
# Installs what a job needs from Debian's archive, or prints the exact apt-get line when not root.
# Usage: tools/install-deps.sh test|demo|bench|dist [--print-missing-optional]
set -euo pipefail

job=${1:-test}
print_missing=0
[ "${2:-}" = "--print-missing-optional" ] && print_missing=1

# Required: what the job cannot do without. Optional: what single steps of it need; without them those
# steps are skipped, and say so.
required=(cmake make g++ pkg-config libgtest-dev libsndfile1-dev locales lv2-dev libx11-dev)
optional=()
case "$job" in
test)
    required+=(python3 gnuplot-nox)
    required+=(libstb-dev fonts-dejavu-core)          # the editor's font baker, checked against its output
    optional+=(xvfb xauth xdotool imagemagick x11-utils jalv) # the editors on a display, the manual's screenshot
    optional+=(clang-format)                         # style
    optional+=(liblilv-dev lilv-utils lv2file sordi) # the LV2 bundle in real LV2 tools
    optional+=(jackd2 libjack-jackd2-dev)            # the JACK client and its step
    optional+=(dpf-source qtractor libasound2-dev)   # clap (the CLAP headers, a peer plug-in, the host)
    optional+=(clang-14 libclang-rt-14-dev)          # fuzz
    optional+=(mingw-w64 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64) # windows
    optional+=(qemu-user gcc-multilib g++-multilib)  # i386
    optional+=(dpkg-dev lintian)                     # package
    optional+=(ardour gdb)                           # ardour
    # The VST 3 test hosts: JUCE's (release suite) and one on the SDK's headers (windows)
    optional+=(juce-modules-source-data libfreetype-dev libjpeg-dev libpng-dev libx11-dev zlib1g-dev)
    ;;
demo) required+=(gnuplot-nox) optional+=(jackd2 libjack-jackd2-dev) ;;
bench) required+=(libbenchmark-dev) optional+=(lilv-utils) ;;
dist) required+=(python3 dpkg-dev jackd2 libjack-jackd2-dev dpf-source) optional+=(mingw-w64) ;;
*) echo "usage: $0 test|demo|bench|dist [--print-missing-optional]" >&2; exit 2 ;;
esac

missing_of() { # PACKAGES...: those not installed
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
    done
}
mapfile -t missing_required < <(missing_of "${required[@]}")
mapfile -t missing_optional < <(missing_of "${optional[@]}")
if [ $print_missing -eq 1 ]; then
    echo "${missing_optional[*]}"
    exit 0
fi

missing=("${missing_required[@]}" "${missing_optional[@]}")
if [ ${#missing[@]} -gt 0 ] && [ "$(id -u)" -eq 0 ]; then
    # As root everything is installed, the optional packages too: nothing is skipped.
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # jackd2 would otherwise ask whether to raise real-time limits.
    echo "jackd2 jackd/tweak_rt_limits boolean false" | debconf-set-selections
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
elif [ ${#missing_required[@]} -gt 0 ]; then
    echo "Missing packages. Run as root:" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
elif [ ${#missing_optional[@]} -gt 0 ]; then
    echo "Optional packages missing; the steps that need them are skipped. To run everything, as root:" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing_optional[*]}" >&2
fi

# wine32 runs the 32-bit DLL in the Windows step. It is an i386 package, of use only where the kernel runs
# i386 programs itself (elsewhere that step says so and the i386 build stands in for the DLL). When the
# archive cannot supply it, the job goes on and the Windows step says why the DLL is not run.
if [ "$job" = test ] && [ -n "$(missing_of wine32:i386)" ] && "$(dirname "$0")/runs-i386.sh" >/dev/null; then
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: wine32:i386 (with the i386 architecture)"
        dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
        { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install \
            -y -qq --no-install-recommends wine32:i386 >/dev/null; } ||
            echo "wine32:i386 could not be installed" >&2
    else
        echo "wine32 is missing, so the Windows step skips the 32-bit DLL. To run it, as root:" >&2
        echo "  dpkg --add-architecture i386 && apt-get update &&" \
            "apt-get install -y --no-install-recommends wine32:i386" >&2
    fi
fi

# The locale tests need a locale that writes a decimal comma.
if [ "$job" = test ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    if [ "$(id -u)" -eq 0 ]; then
        sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >>/etc/locale.gen
        locale-gen >/dev/null
    else
        echo "The de_DE.UTF-8 locale is missing; as root: enable it in /etc/locale.gen and run locale-gen" >&2
    fi
fi
