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
rc=0; "$NYSCRIPT" frobnicate 2> /dev/null || rc=$?
[ $rc -eq 2 ] || fail "usage error status $rc"
echo "nyscript_test: ok"
