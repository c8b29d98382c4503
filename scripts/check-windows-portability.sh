#!/usr/bin/env bash
# Compiles every subsystem source (everything outside platform/posix, the tests, the fuzz
# harnesses, which only the Linux fuzzing build compiles, and the Windows-only folders, which the
# Windows build compiles itself) with the mingw-w64 cross compiler, syntax only. A POSIX header or
# call that slipped into subsystem code fails here even in code the Windows build does not yet
# link.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
cxx=${MINGW_CXX:-x86_64-w64-mingw32-g++-posix}
if ! command -v "$cxx" >/dev/null; then
  echo "check-windows-portability: $cxx not found (scripts/setup-debian.sh installs it)" >&2
  exit 1
fi
jdk=$(dirname "$(dirname "$(readlink -f "$(command -v javac)")")")
includes=(-Iplatform/include -Iemulator -Itools/modsim -Ilime/client/src/native)
# JNI headers: the OS-neutral jni.h with the Linux jni_md.h, which only sets the calling
# convention macros; enough for a syntax check of the JNI code.
[ -d "$jdk/include" ] && includes+=(-I"$jdk/include" -I"$jdk/include/linux")

mapfile -t sources < <(git ls-files '*.cpp' \
  | grep -vE '^platform/(posix|tests)/' \
  | grep -vE '(^|/)(tests?|bench|windows|fuzz)/' \
  | grep -vE '^testkit/' \
  | grep -vE '^tools/modsim/')
failed=0
for src in "${sources[@]}"; do
  dir_includes=(-I"$(dirname "$src")")
  if ! "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Werror -Wno-restrict "${includes[@]}" "${dir_includes[@]}" "$src" 2>/tmp/winchk.$$; then
    echo "check-windows-portability: $src does not compile for Windows:" >&2
    head -n 20 /tmp/winchk.$$ >&2
    failed=1
  fi
done
rm -f /tmp/winchk.$$
if [ "$failed" -ne 0 ]; then
  exit 1
fi
echo "check-windows-portability: ${#sources[@]} sources compile for Windows"
