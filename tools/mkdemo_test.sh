#!/bin/sh
# Two demo generators writing one folder at once, as two builds of one tree do, must leave
# there what a lone run leaves: every file, and every archive with all its entries.
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "mkdemo_test: $*" >&2; exit 1; }

"$MKDEMO" "$work/lone" > "$work/lone.log" 2>&1 &
lone=$!
"$MKDEMO" "$work/both" > "$work/a.log" 2>&1 &
a=$!
"$MKDEMO" "$work/both" > "$work/b.log" 2>&1 &
b=$!
wait $lone || fail "the lone run failed: $(cat "$work/lone.log")"
wait $a || fail "the first of the two runs failed: $(cat "$work/a.log")"
wait $b || fail "the second of the two runs failed: $(cat "$work/b.log")"

# The same files of the same sizes, and nothing of the runs' own left beside them.
listing() { (cd "$1" && find . -type f -printf '%p %s\n' | LC_ALL=C sort); }
listing "$work/lone" > "$work/lone.files"
listing "$work/both" > "$work/both.files"
[ -s "$work/lone.files" ] || fail "the lone run wrote nothing"
cmp -s "$work/lone.files" "$work/both.files" ||
  fail "the files differ: $(diff "$work/lone.files" "$work/both.files")"
ls -a "$work" | grep -q mkdemo- && fail "a run's own folder was left: $(ls "$work")"

# The archives hold the same entries (name, size, stored size, method, CRC; not the time).
for pak in $(cd "$work/lone" && find . -name '*.pak' | LC_ALL=C sort); do
  "$NYPACK" list "$work/lone/$pak" | awk '{print $1, $2, $3, $4, $5}' > "$work/lone.pak"
  "$NYPACK" list "$work/both/$pak" | awk '{print $1, $2, $3, $4, $5}' > "$work/both.pak"
  [ "$(wc -l < "$work/lone.pak")" -gt 1 ] || fail "$pak is empty"
  cmp -s "$work/lone.pak" "$work/both.pak" ||
    fail "$pak differs: $(diff "$work/lone.pak" "$work/both.pak")"
done
exit 0
