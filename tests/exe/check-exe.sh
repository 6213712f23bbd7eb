#!/usr/bin/env bash
# check-exe.sh ARCH EXE VERSION: the release properties of a built VeltrinExplorer.exe.
set -uo pipefail
arch=$1 exe=$2 version=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Per architecture: the offset of the dependent-load flags in the load-configuration record, the
# size bound, and the hardening flags the image must carry.
case "$arch" in
  i686) format=pei-i386 manifest_arch=x86 load_flags_offset=0x36 max_bytes=41984
    hardening=(DYNAMIC_BASE NX_COMPAT NO_SEH) ;;
  # 64-bit code is larger and carries its unwind tables.
  x86_64) format=pei-x86-64 manifest_arch=amd64 load_flags_offset=0x4e max_bytes=45056
    hardening=(DYNAMIC_BASE NX_COMPAT HIGH_ENTROPY_VA) ;;
  *) echo "unknown architecture: $arch"; exit 2 ;;
esac

headers=$("$arch-w64-mingw32-objdump" -p "$exe") || exit 2
grep -q "file format $format\$" <<<"$headers" || fail "not a $format image"
grep -q '^Subsystem.*(Windows GUI)' <<<"$headers" || fail "not a GUI program"
# Anything beyond these would have to ship beside the exe.
while read -r dll; do
  grep -qixE 'kernel32|msvcrt|ole32|oleaut32|shell32|shlwapi|user32' <<<"${dll%.dll}" ||
    fail "imports $dll"
done < <(sed -n 's/^\tDLL Name: //p' <<<"$headers")

for flag in "${hardening[@]}"; do
  grep -qx "$(printf '\t')*$flag" <<<"$headers" || fail "lacks $flag"
done
# A section the program can both write and run is what an exploit looks for first.
"$arch-w64-mingw32-objdump" -h "$exe" | grep CODE | grep -qv READONLY &&
  fail "has a writable code section"

# The exe's imports are resolved before any of its code runs: only the load-configuration record
# can keep the exe's folder out of that search (LOAD_LIBRARY_SEARCH_SYSTEM32).
read -r _ _ config_rva config_size _ < <(grep 'Load Configuration Directory$' <<<"$headers")
if [ $((0x$config_size)) -le $((load_flags_offset + 1)) ]; then
  fail "no load-configuration record that holds the dependent-load flags"
else
  image_base=$(sed -n 's/^ImageBase\s*//p' <<<"$headers")
  config_start=$((0x$image_base + 0x$config_rva))
  config=$("$arch-w64-mingw32-objdump" -s --start-address=$config_start \
    --stop-address=$((config_start + 0x$config_size)) "$exe" |
    sed -n 's/^ *[0-9a-f]\{6,\} \(.\{35\}\).*/\1/p' | tr -d ' \n')
  flags_at=$((load_flags_offset * 2))
  load_flags=$((0x${config:flags_at + 2:2}${config:flags_at:2}))
  [ "$load_flags" = $((0x800)) ] ||
    fail "dependent-load flags are $(printf 0x%x "$load_flags"), not 0x800"
fi

size=$(stat -c %s "$exe")
[ "$size" -le "$max_bytes" ] || fail "$size bytes, more than $max_bytes"

resources=$("$arch-w64-mingw32-windres" -i "$exe" -O rc) || exit 2
numeric="${version//./, }, 0"
grep -qx " FILEVERSION $numeric" <<<"$resources" || fail "numeric file version is not $numeric"
for entry in "FileVersion:$version" "ProductVersion:$version" \
  "FileDescription:Veltrin Explorer" "ProductName:Veltrin Explorer" \
  "InternalName:VeltrinExplorer.exe" "OriginalFilename:VeltrinExplorer.exe"; do
  grep -qxF "      VALUE \"${entry%%:*}\", \"${entry#*:}\"" <<<"$resources" ||
    fail "version resource lacks ${entry%%:*} \"${entry#*:}\""
done
grep -qE 'VALUE "(CompanyName|LegalCopyright)"' <<<"$resources" && fail "names an owner"

# The manifest comes back as quoted lines with doubled quotes. The supportedOS ids are those of
# Windows 7, 8, 8.1 and 10/11.
manifest=$(sed -n '/RT_MANIFEST/,/^END/p' <<<"$resources" | sed 's/""/"/g')
for expected in "version=\"$version.0\"" "processorArchitecture=\"$manifest_arch\"" \
  'Microsoft.Windows.Common-Controls" version="6.0.0.0"' 'level="asInvoker"' \
  '>true/pm</dpiAware>' '>PerMonitorV2, PerMonitor</dpiAwareness>' \
  35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
  1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
  grep -qF -- "$expected" <<<"$manifest" || fail "manifest lacks $expected"
done

# Each language's string table: the title, which shares its block of sixteen strings with the
# Cancel label and would load empty without it, and a label that fits its 100-unit field.
# windres writes a unit as itself, as one escape or as a doubled quote.
languages=0
while read -r language units title; do
  languages=$((languages + 1))
  [ "$title" = '"Veltrin Explorer"' ] || fail "language $language: title $title"
  [ "$units" -ge 1 ] && [ "$units" -le 99 ] || fail "language $language: label of $units units"
done < <(awk '/^LANGUAGE / { language = $2 $3 }
  /^STRINGTABLE/ { title = "none"; units = 0; table = 1 }
  table && /^  103, / { title = $0; sub(/^  103, L?/, "", title) }
  table && /^  104, / { label = $0; sub(/^  104, L?"/, "", label); sub(/"$/, "", label)
    gsub(/\\x[0-9a-f][0-9a-f][0-9a-f][0-9a-f]|\\[0-7][0-7][0-7]|\\.|""/, "u", label)
    units = length(label) }
  table && /^END/ { print language, units, title; table = 0 }' <<<"$resources")
[ "$languages" -gt 1 ] || fail "$languages string table(s), no translation"

echo "$exe: $size bytes, $failures failure(s)"
[ "$failures" -eq 0 ]
