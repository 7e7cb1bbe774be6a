#!/usr/bin/env bash
# usage: reproducible.sh PYTHON3 MAKE_MUSIC_PY COMMITTED_MODULE TEMP_OUT
# The committed module is exactly what the generator writes today.
set -euo pipefail
python=$1 script=$2 committed=$3 fresh=$4
"$python" "$script" "$fresh"
if ! cmp "$committed" "$fresh"; then
  echo "FAIL: $committed differs from a fresh run of $script; rerun it and commit the result" >&2
  exit 1
fi
echo "ok: $(stat -c %s "$fresh") bytes, identical"
rm -f "$fresh"
