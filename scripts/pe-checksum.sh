#!/usr/bin/env bash
# pe-checksum.sh EXE: writes the image checksum into the exe's optional header, computed as
# Windows' and the signing tools' own routine does: 16-bit words added with the carry folded
# back each time, the checksum field itself left out, then the file's length added.
set -euo pipefail
exe=$1

header=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
field=$((header + 88))
checksum=$(od -An -v -tu2 "$exe" | awk -v first=$((field / 2)) '
  { for (i = 1; i <= NF; i++) {
      if (n < first || n > first + 1) { sum += $i; sum = (sum + int(sum / 65536)) % 65536 }
      n++ } }
  END { print sum }')
checksum=$((checksum + $(stat -c %s "$exe")))
printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((checksum & 255)) $((checksum >> 8 & 255)) \
  $((checksum >> 16 & 255)) $((checksum >> 24 & 255)))" |
  dd of="$exe" bs=1 seek="$field" conv=notrunc status=none
