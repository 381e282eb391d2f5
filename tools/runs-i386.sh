#!/usr/bin/env bash
# Whether this machine's kernel runs 32-bit x86 programs itself, with no emulator in between: the i386 step
# then runs its build natively and the Windows step runs the 32-bit DLL under wine32. Prints the answer in
# one line (the reason when it is no) and exits 0 for yes, 1 for no.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

# A binfmt_misc handler for i386 ELF files (qemu's, say) would take every 32-bit program, wine32 too.
for entry in /proc/sys/fs/binfmt_misc/*; do
    case "${entry##*/}" in register | status) continue ;; esac
    if [ -r "$entry" ] && grep -qx enabled "$entry" && grep -qE '^magic 7f454c4601.{26}0300' "$entry"; then
        echo "i386 programs go to the binfmt_misc handler $entry ($(sed -n 's/^interpreter //p' "$entry"))"
        exit 1
    fi
done

# The smallest i386 program that proves it ran: an ELF header, one loadable segment and exit(42) through
# int 0x80. Written by hand so that the answer needs no 32-bit compiler, which may not be installed yet.
# Into build/ first, since /tmp may forbid running programs.
mkdir -p build 2>/dev/null
program=$(mktemp build/runs-i386.XXXXXX 2>/dev/null || mktemp) || exit 1
trap 'rm -f "$program"' EXIT
elf_header='\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0'
segment='\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0'
code='\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' # xor ebx,ebx; mov bl,42; xor eax,eax; inc eax; int 0x80
printf %b "$elf_header$segment$code" >"$program" && chmod +x "$program"
"$program" 2>/dev/null
rc=$?
if [ $rc -eq 42 ]; then
    echo "the kernel runs i386 programs itself"
    exit 0
fi
echo "the kernel runs no i386 programs (a 32-bit test program returned $rc, not 42)"
exit 1
