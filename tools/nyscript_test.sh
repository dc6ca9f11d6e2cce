#!/bin/sh
# Drives the nyscript tool: builds the demo scripts, disassembles and rebuilds them byte for
# byte, checks built files and sources, and expects a lint and a usage error to fail.
set -eu
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "nyscript_test: $*" >&2; exit 1; }

"$NYSCRIPT" --help | grep -q 'usage: nyscript' || fail "help"
"$NYSCRIPT" build -o "$work/a" "$src"/*.nys || fail "build"
"$NYSCRIPT" check "$work/a"/*.vnx "$work/a/Scene.tbl" "$src"/*.nys || fail "check"
mkdir "$work/dis"
for f in "$work/a"/scr*.vnx; do
  n=$(basename "$f" .vnx)
  "$NYSCRIPT" dis -i "$work/a/Scene.tbl" "$f" > "$work/dis/$n.nys" || fail "dis $n"
done
"$NYSCRIPT" build -o "$work/b" "$work/dis"/*.nys || fail "rebuild"
for f in "$work/a"/*; do
  cmp "$f" "$work/b/$(basename "$f")" || fail "$(basename "$f") differs after dis and build"
done
printf 'script 9\nA:\n    EXIT\n    PUSH 1\n' > "$work/lint.nys"
rc=0; "$NYSCRIPT" check "$work/lint.nys" 2> "$work/lint.err" || rc=$?
[ $rc -eq 1 ] || fail "lint status $rc"
grep -q 'lint.nys:4:5: lint: unreachable code' "$work/lint.err" || fail "lint text: $(cat "$work/lint.err")"
# A scene whose label offset names no label record, and an opcode without a handler: both
# flagged with file and offset.
mkdir "$work/bad"
cp "$work/a"/* "$work/bad/"
printf 'script 9\nscene "Odd" A\nA:\n    .u16 7\n    EXIT\n' > "$work/odd.nys"
"$NYSCRIPT" build -o "$work/odd" "$work/odd.nys" || fail "build odd"
cp "$work/odd/scr00009.vnx" "$work/bad/"
rc=0; "$NYSCRIPT" check "$work/bad/scr00009.vnx" 2> "$work/odd.err" || rc=$?
[ $rc -eq 1 ] || fail "check of a bad opcode: status $rc"
grep -q 'scr00009.vnx: offset 0x4C: error: opcode 7 has no handler' "$work/odd.err" ||
  fail "bad opcode text: $(cat "$work/odd.err")"
printf '\005' | dd of="$work/bad/Scene.tbl" bs=1 seek=22 conv=notrunc 2> /dev/null
rc=0; "$NYSCRIPT" check "$work/bad/Scene.tbl" 2> "$work/idx.err" || rc=$?
[ $rc -eq 1 ] || fail "check of a bad scene label: status $rc"
grep -q 'Scene.tbl: offset 0x16: error: .* is not the start of a label record' "$work/idx.err" ||
  fail "bad scene label text: $(cat "$work/idx.err")"
# check's scratch folder is its own: a link planted under a name made of its process id (known
# before it starts) is neither written through nor removed.
mkdir "$work/tmp" "$work/victim"
TMPDIR=$work/tmp NYSCRIPT_SRC=$src sh -c \
  'ln -s "$0" "$TMPDIR/nyscript-check-$$" && exec "$NYSCRIPT" check "$NYSCRIPT_SRC"/*.nys' \
  "$work/victim" || fail "check with a planted link"
[ -z "$(ls -A "$work/victim")" ] || fail "check wrote through a planted link: $(ls "$work/victim")"
left=$(ls -A "$work/tmp")
[ "$(echo "$left" | wc -l)" -eq 1 ] && [ -L "$work/tmp/$left" ] ||
  fail "check left its scratch folder or removed the planted link: $left"
rc=0; "$NYSCRIPT" frobnicate 2> /dev/null || rc=$?
[ $rc -eq 2 ] || fail "usage error status $rc"
echo "nyscript_test: ok"
