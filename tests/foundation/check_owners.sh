#!/bin/sh
# Checks that only the link room calls the lower port monitor's entries (every other
# room reaches the printer through the link's exchanges, under its lock discipline),
# and that the spooler's port status is posted from one place.
# Usage: check_owners.sh SOURCE_ROOT
root="$1"
found=$(cd "$root" && grep -rnE '(fn\.|->)pfn[A-Z][A-Za-z]*[[:space:]]*\(' --include='*.cpp' --include='*.h' \
  monitor status pipe flash diag)
if [ -n "$found" ]; then
  echo "lower port entries called outside link/:"
  printf '%s\n' "$found"
  exit 1
fi
posts=$(cd "$root" && grep -rn 'spoolerSetPort[[:space:]]*(' --include='*.cpp' monitor status pipe flash diag link |
  grep -v '^monitor/port_status.cpp:')
if [ -n "$posts" ]; then
  echo "port status posted outside monitor/port_status.cpp:"
  printf '%s\n' "$posts"
  exit 1
fi
echo "only link/ calls the lower port monitor; one place posts the port status"
