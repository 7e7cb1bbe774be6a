#!/usr/bin/env bash
# What make windows made: the zip's size and files, and what the program and
# its library import and export (objdump -p), each beside its goal.
#   describe.sh BUILD-FOLDER
set -euo pipefail
build=$1
objdump=x86_64-w64-mingw32-objdump
zip=$(ls "$build"/ZENOrA_intro-*-win64.zip)
size=$(stat -c %s "$zip")
echo "make windows: $zip"
echo "  size: $(( size / 1024 )) KB (goal: at most 3072 KB)"
echo "  files: $(python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist())' "$zip")"
for binary in ZENOrA_intro.exe bassmod.dll; do
  echo "  $binary ($(( $(stat -c %s "$build/$binary") / 1024 )) KB) imports: $("$objdump" -p "$build/$binary" |
    sed -n 's/^\tDLL Name: //p' | sort -f | tr '\n' ' ')"
done
echo "  bassmod.dll exports: $("$objdump" -p "$build/bassmod.dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
  on && /^\t\[/ {print $NF} on && !/^\t\[/ {on = 0}' | tr '\n' ' ')"
