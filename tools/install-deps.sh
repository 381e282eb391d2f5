#!/usr/bin/env bash
# Installs what a job needs from Debian's archive, or prints the exact apt-get line when not root.
# Usage: tools/install-deps.sh test|demo|bench|dist
set -euo pipefail

job=${1:-test}
packages=(cmake make g++ pkg-config libgtest-dev libsndfile1-dev locales lv2-dev)
case "$job" in
test) packages+=(gnuplot-nox mingw-w64 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64 ardour gdb python3 clang-14 libclang-rt-14-dev
    liblilv-dev lilv-utils lv2file sordi
    qemu-user gcc-multilib g++-multilib
    dpkg-dev lintian) ;;
demo) packages+=(gnuplot-nox) ;;
bench) packages+=(libbenchmark-dev lilv-utils) ;;
dist) packages+=(python3 dpkg-dev mingw-w64) ;;
*) echo "usage: $0 test|demo|bench|dist" >&2; exit 2 ;;
esac
# The JACK client and its tests.
case "$job" in test | demo | dist) packages+=(jackd2 libjack-jackd2-dev) ;; esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        # jackd2 would otherwise ask whether to raise real-time limits.
        echo "jackd2 jackd/tweak_rt_limits boolean false" | debconf-set-selections
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    else
        echo "Missing packages. Run as root:" >&2
        echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
        exit 1
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
