#!/usr/bin/env bash
# `wendrel stem` beside Snowball's `stemwords -l porter` (Debian package libstemmer-tools, when
# installed) on one word list, in one run. The list is English words drawn from this repository's
# own texts and data, each with the inflections that English builds on it, sorted, repeated 20
# times (about 600,000 lines); it follows the repository's texts, so it shifts a little from commit
# to commit, and both programs read the same one. Usage: bench/stem_speed.sh [WENDREL] (default build/bench/wendrel, which
# scripts/bench builds).
set -euo pipefail
cd "$(dirname "$0")/.."

wendrel=${1:-build/bench/wendrel}
[ -x "$wendrel" ] || { echo "no program at $wendrel: build it first (scripts/bench)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

git ls-files -z | xargs -0 cat 2>/dev/null | python3 -c '
import collections, re, sys
text = sys.stdin.buffer.read().decode("utf-8", "replace")
# Lower-case words of three letters or more found at least three times, each with English suffixes.
counts = collections.Counter(re.findall(r"(?<![A-Za-z_])[a-z]{3,}(?![A-Za-z_0-9])", text))
bases = sorted(w for w, n in counts.items() if n >= 3 and re.search(r"[aeiou]", w))
suffixes = ["", "s", "es", "ed", "ing", "er", "ers", "ly", "ness", "ment", "ments", "ation", "ations", "ational",
            "ize", "izes", "ized", "izing", "ization", "ful", "fulness", "ive", "iveness", "ively", "able", "ability",
            "ible", "ity", "ities", "al", "ally", "alism", "ism", "ist", "ous", "ously", "ousness", "ent", "ence",
            "ance", "ant", "ical", "icate", "ator", "less", "y", "ies"]
words = set()
for base in bases:
    stem = base[:-1] if base.endswith("e") else base
    for suffix in suffixes:
        words.add((stem if suffix[:1] in "aeiouy" and suffix else base) + suffix)
words = sorted(words)
step = max(1, len(words) / 30428)
words = [words[int(i * step)] for i in range(min(30428, len(words)))]
sys.stdout.write("".join(w + "\n" for w in words) * 20)
' > "$work/words.txt"
echo "words: $(wc -l < "$work/words.txt") lines, $(sort -u "$work/words.txt" | wc -l) distinct"

# Wall time, and processor time (user + system), which other load on the machine disturbs less.
run() {
  local name=$1; shift
  local TIMEFORMAT='%R %U %S' times
  times=$( { time "$@" < "$work/words.txt" > "$work/$name.out"; } 2>&1 )
  read -r wall user system <<< "$times"
  printf '%-22s wall %6.3f s   processor %6.3f s\n' "$name" "$wall" "$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')"
}
run "wendrel stem" "$wendrel" stem
if command -v stemwords > /dev/null; then
  run "stemwords -l porter" stemwords -l porter
  echo "stems differing from Snowball's (the program's own variations): $(paste -d' ' "$work/wendrel stem.out" "$work/stemwords -l porter.out" | awk '$1 != $2' | sort -u | wc -l) distinct"
else
  echo "stemwords not installed (Debian package libstemmer-tools): no comparison"
fi
