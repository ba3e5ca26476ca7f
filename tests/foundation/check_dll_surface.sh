#!/bin/sh
# Checks that a DLL exports exactly InitializePrintMonitor and imports only
# KERNEL32, ADVAPI32, WINSPOOL.DRV and the C runtime.
# Usage: check_dll_surface.sh OBJDUMP DLL
objdump="$1"
dll="$2"
dump=$("$objdump" -p "$dll") || { echo "cannot read $dll"; exit 1; }

exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p')
if [ "$exports" != "InitializePrintMonitor" ]; then
  echo "exports are not exactly InitializePrintMonitor:"
  printf '%s\n' "$exports"
  exit 1
fi

status=0
imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p')
[ -n "$imports" ] || { echo "no imports found"; exit 1; }
for name in $imports; do
  case $(printf '%s' "$name" | tr 'A-Z' 'a-z') in
    kernel32.dll | advapi32.dll | winspool.drv | msvcrt.dll | api-ms-win-crt-*.dll) ;;
    *) echo "unexpected import: $name"; status=1 ;;
  esac
done
[ $status -eq 0 ] && echo "exports: $exports; imports: $(echo $imports)"
exit $status
