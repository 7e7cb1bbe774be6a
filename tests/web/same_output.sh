#!/usr/bin/env bash
# Usage: same_output.sh NATIVE_PROGRAM NODE WEB_PROGRAM.js ARGS... [--native ARGS...] [--web ARGS...]
# Runs a program's native and WebAssembly builds with the same ARGS (plus each
# side's own) and fails unless they print the same lines. Lines starting with
# # are figures of that side alone: shown, not compared.
set -uo pipefail
native=$1 node=$2 web=$3
shift 3
common=() native_args=() web_args=() side=common
for arg in "$@"; do
  case $arg in
    --native) side=native_args ;;
    --web) side=web_args ;;
    *)
      case $side in
        common) common+=("$arg") ;;
        native_args) native_args+=("$arg") ;;
        web_args) web_args+=("$arg") ;;
      esac
      ;;
  esac
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$native" "${common[@]}" "${native_args[@]}" >"$out/native" || { echo "native run failed"; exit 1; }
# shellcheck disable=SC2086 # NODE is the command and its flags
$node "$web" "${common[@]}" "${web_args[@]}" >"$out/web" || { echo "web run failed"; exit 1; }
sed -n 's/^# /native: /p' "$out/native"
sed -n 's/^# /web:    /p' "$out/web"
if ! diff <(grep -v '^#' "$out/native") <(grep -v '^#' "$out/web"); then
  echo "the native and the web build print different lines (< native, > web)"
  exit 1
fi
echo "same $(grep -cv '^#' "$out/native") lines"
