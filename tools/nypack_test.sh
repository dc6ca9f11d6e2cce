#!/bin/sh
# Drives the nypack tool through every command and checks what it leaves behind.
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "nypack_test: $*" >&2; exit 1; }

seq 1 3000 > text.txt
head -c 5000 /dev/urandom > noise.bin
printf 'hello' > small.dat
"$NYPACK" --help | grep -q 'usage: nypack' || fail "help"
"$NYPACK" create a.pak -c 2 text.txt -c 5 -S noise.bin -c 3 SMALL.DAT=small.dat || fail "create"
"$NYPACK" list a.pak > list.out
grep -q '^text.txt .* 2 ' list.out || fail "text.txt not Pellum: $(cat list.out)"
grep -q '^noise.bin .* 2 ' list.out || fail "noise.bin not kept compressed"
grep -q '^SMALL.DAT .* 3 ' list.out || fail "SMALL.DAT not inverted"
"$NYPACK" verify a.pak > /dev/null || fail "verify"
"$NYPACK" add a.pak -c 4 copy.txt=text.txt || fail "add"
"$NYPACK" add a.pak text.txt 2> /dev/null && fail "duplicate name accepted"
"$NYPACK" delete a.pak noise.bin || fail "delete"
mkdir out
"$NYPACK" extract a.pak -o out || fail "extract"
cmp out/text.txt text.txt || fail "text.txt differs"
cmp out/copy.txt text.txt || fail "copy.txt differs"
cmp out/SMALL.DAT small.dat || fail "SMALL.DAT differs"
[ ! -e out/noise.bin ] || fail "deleted entry extracted"
"$NYPACK" verify a.pak > /dev/null || fail "verify after edits"
# One damaged byte in the data area fails the check.
printf 'X' | dd of=a.pak bs=1 seek=20 conv=notrunc 2> /dev/null
"$NYPACK" verify a.pak 2> /dev/null && fail "damage not found"
# Shift-JIS names whose second byte is 0x5C (a backslash on its own) keep their whole name:
# the table character (95 5C), and "so" and "no" (83 5C, 94 5C) in a subdirectory.
mkdir sub
hyo=$(printf '\225\134.txt')
sono=$(printf '\203\134\224\134.dat')
printf 'table' > "$hyo"
printf 'sono' > "sub/$sono"
"$NYPACK" create k.pak "$hyo" "sub/$sono" || fail "create with 0x5C trail bytes"
"$NYPACK" list k.pak > k.out
grep -qF "$hyo " k.out || fail "table name cut: $(cat k.out)"
grep -qF "$sono " k.out || fail "so-no name cut: $(cat k.out)"
mkdir kout
"$NYPACK" extract k.pak -o kout || fail "extract 0x5C names"
cmp "kout/$hyo" "$hyo" || fail "table file differs"
cmp "kout/$sono" "sub/$sono" || fail "so-no file differs"
rc=0
"$NYPACK" frobnicate a.pak 2> /dev/null || rc=$?
[ $rc -eq 2 ] || fail "usage error status $rc"
echo "nypack_test: ok"
