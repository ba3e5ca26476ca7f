#!/bin/sh
# Checks that only the link room calls the lower port monitor's entries (every other
# room reaches the printer through the link's exchanges, under its lock discipline),
# and that the spooler's port status is posted from one place.
# Usage: check_owners.sh SOURCE_ROOT
root="$1"
rooms="port log status jobs flash pipe entry"
scan() {
  # grep exits 1 when nothing matches, 2 when a room is missing or unreadable.
  (cd "$root" && grep -rnE "$1" --include='*.cpp' --include='*.h' $2)
  [ $? -le 1 ] || { echo "cannot scan the rooms: $2" >&2; exit 2; }
}
found=$(scan '(fn\.|->)pfn[A-Z][A-Za-z]*[[:space:]]*\(' "$rooms") || exit 2
if [ -n "$found" ]; then
  echo "lower port entries called outside link/:"
  printf '%s\n' "$found"
  exit 1
fi
posts=$(scan 'spoolerSetPort[[:space:]]*\(' "$rooms link") || exit 2
posts=$(printf '%s\n' "$posts" | grep -v '^port/port_status.cpp:')
if [ -n "$posts" ]; then
  echo "port status posted outside port/port_status.cpp:"
  printf '%s\n' "$posts"
  exit 1
fi
echo "only link/ calls the lower port monitor; one place posts the port status"
