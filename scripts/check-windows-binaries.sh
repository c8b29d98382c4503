#!/usr/bin/env bash
# Checks the cross-built Windows files without running them (the 32-bit ones cannot run here):
# PE format, subsystem, exports of the DLLs, and that only Windows system DLLs are imported, so
# the files run on a bare Windows with nothing installed beside them.
# Usage: scripts/check-windows-binaries.sh [--present-only] [rules-file]
#   --present-only  files not built (yet) are reported and skipped instead of failing the check
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
present_only=0
if [ "${1:-}" = "--present-only" ]; then
  present_only=1
  shift
fi
rules=${1:-scripts/windows-binaries.txt}

# DLLs every Windows has (compared without case).
system_dlls="kernel32.dll msvcrt.dll advapi32.dll ws2_32.dll user32.dll gdi32.dll shell32.dll
  shlwapi.dll ole32.dll oleaut32.dll psapi.dll rasapi32.dll setupapi.dll comctl32.dll comdlg32.dll"

failures=0
fail() {
  echo "check-windows-binaries: $1" >&2
  failures=$((failures + 1))
}

check_file() { # <file> <format> <subsystem> [exports-file]
  local file=$1 format=$2 subsystem=$3 exports=${4:-} dump
  if [ ! -f "$file" ]; then
    if [ "$present_only" -eq 1 ]; then
      echo "check-windows-binaries: $file not built, skipped"
    else
      fail "$file: missing"
    fi
    return
  fi
  dump=$(objdump -p "$file")
  local magic
  magic=$(sed -n 's/^Magic[[:space:]]*[0-9a-f]*[[:space:]]*(\(.*\))$/\1/p' <<<"$dump")
  [ "$magic" = "$format" ] || fail "$file: format $magic, expected $format"
  local want_code
  case $subsystem in
    console) want_code=3 ;;
    gui) want_code=2 ;;
    dll) want_code= ;;
    *) fail "$rules: unknown subsystem $subsystem for $file"; return ;;
  esac
  local characteristics code
  code=$(sed -n 's/^Subsystem[[:space:]]*0*\([0-9a-f]*\).*/\1/p' <<<"$dump")
  characteristics=$(sed -n 's/^Characteristics[[:space:]]*0x\([0-9a-f]*\).*/\1/p' <<<"$dump" | head -n 1)
  local is_dll=$(( (16#${characteristics:-0} & 0x2000) != 0 ))
  if [ "$subsystem" = dll ]; then
    [ "$is_dll" -eq 1 ] || fail "$file: not a DLL"
  else
    [ "$is_dll" -eq 0 ] || fail "$file: a DLL, expected a program"
    [ "$code" = "$want_code" ] || fail "$file: subsystem $code, expected $want_code ($subsystem)"
  fi
  local dll
  while read -r dll; do
    [ -n "$dll" ] || continue
    grep -qiw -- "$dll" <<<"$system_dlls" || fail "$file: imports $dll, which is not a Windows system DLL"
  done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")
  if [ -n "$exports" ]; then
    local have want
    have=$(awk '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && /^[[:space:]]*\[ *[0-9]+\]/ {print $NF; next} t {t=0}' <<<"$dump" | sort)
    want=$(sed 's/#.*//; /^[[:space:]]*$/d; s/[[:space:]]//g' "$exports" | sort)
    if [ "$have" != "$want" ]; then
      fail "$file: exports differ from $exports:"
      diff <(echo "$want") <(echo "$have") | sed -n 's/^</  missing: /p; s/^>/  extra:   /p' >&2 || true
    fi
  elif [ "$subsystem" != dll ] && grep -q '\[Ordinal/Name Pointer\] Table' <<<"$dump"; then
    fail "$file: a program that exports names"
  fi
}

checked=0
while read -r file format subsystem exports; do
  case $file in '' | '#'*) continue ;; esac
  check_file "$file" "$format" "$subsystem" "$exports"
  checked=$((checked + 1))
done <"$rules"
if [ "$failures" -ne 0 ]; then
  echo "check-windows-binaries: $failures problem(s)" >&2
  exit 1
fi
echo "check-windows-binaries: $checked file(s) as expected"
