#!/usr/bin/env bash
# The Windows programs need no DLL beyond those every Windows brings:
#   tests/windows/dll_imports_test.sh PROGRAM.exe...
set -euo pipefail
for program in "$@"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/.*DLL Name: //p' | sort -f)
  echo "$(basename "$program") ($(stat -c %s "$program") bytes) imports:" $dlls
  if grep -viqE '^(kernel32|user32|gdi32|d3d9|msvcrt|advapi32|ole32|shell32)\.dll$' <<<"$dlls"; then
    echo "FAIL: $(basename "$program") needs a DLL that Windows does not bring"
    exit 1
  fi
done
