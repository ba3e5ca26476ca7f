#!/bin/sh
# Checks that only the link room calls the lower port monitor's entries: every other
# room reaches the printer through the link's exchanges, under its lock discipline.
# Usage: check_lower_port_owner.sh SOURCE_ROOT
root="$1"
found=$(cd "$root" && grep -rnE '(fn\.|->)pfn[A-Z][A-Za-z]*[[:space:]]*\(' --include='*.cpp' --include='*.h' \
  monitor status pipe flash diag)
if [ -n "$found" ]; then
  echo "lower port entries called outside link/:"
  printf '%s\n' "$found"
  exit 1
fi
echo "only link/ calls the lower port monitor"
