#!/usr/bin/env bash
# The mutation check: each mutant of mutants.txt applied in turn to a scratch copy of
# the tree, the soak run on its CI seeds against it, and a table printed of the
# invariants that caught it and on how many seeds. A seed catches a mutant when it
# breaches an invariant it did not breach on the unchanged monitor. Fails when a
# mutant survives, is caught by fewer than MUTANT_MIN_SEEDS seeds, or no longer fits
# the code.
#   MUTANT_RUNS (80) MUTANT_SCALE (0.01): the seeds 1..MUTANT_RUNS, as ctest runs them
#   MUTANT_DIR (/tmp/qxlm-mutants): the scratch copy and its build
#   MUTANT_ONLY: names to run (comma-separated), default all
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tree="$(cd "$here/../.." && pwd)"
runs="${MUTANT_RUNS:-80}"
scale="${MUTANT_SCALE:-0.01}"
min="${MUTANT_MIN_SEEDS:-2}"
scratch="${MUTANT_DIR:-/tmp/qxlm-mutants}"
list="$here/mutants.txt"
start=$(date +%s)

rm -rf "$scratch/src"
mkdir -p "$scratch/src"
(cd "$tree" && tar --exclude=./build --exclude=./.git -cf - .) | (cd "$scratch/src" && tar -xf -)
(cd "$scratch/src" && cmake --preset linux >/dev/null) || exit 2
# Puts the files a mutant edited back, with a fresh time so that the build sees them.
restore() {
  local f
  for f in $(python3 "$here/apply_mutant.py" "$list" "$1"); do cp "$tree/$f" "$scratch/src/$f"; done
}
build() { cmake --build "$scratch/src/build/linux" --target qxlm-soak >"$scratch/build.log" 2>&1; }

# Prints "seed checks" for every seed that breached.
soak() {
  local win="$scratch/windows-$1"
  rm -rf "$win"
  QXLM_WINDOWS_DIR="$win" "$scratch/src/build/linux/tools/qxlm-soak" --first-seed 1 --runs "$runs" \
    --time-scale "$scale" --quiet --traces 0 2>/dev/null |
    sed -n 's/^  seed \([0-9]*\): \(.*\)$/\1 \2/p'
}

build || { echo "the unchanged tree does not build: $scratch/build.log"; exit 2; }
declare -A base
while read -r seed checks; do base[$seed]="$checks"; done < <(soak base)
echo "unchanged monitor: ${#base[@]} of $runs seeds breach (not counted as catches):"
for s in "${!base[@]}"; do echo "  seed $s: ${base[$s]}"; done

failed=0
table="| mutant | what | caught by | seeds catching (of $runs) |\n|---|---|---|---|\n"
while IFS=$'\t' read -r name what; do
  if [ -n "${MUTANT_ONLY:-}" ] && [[ ",$MUTANT_ONLY," != *",$name,"* ]]; then continue; fi
  if ! python3 "$here/apply_mutant.py" "$list" "$name" "$scratch/src"; then
    table+="| $name | $what | no longer fits the code | - |\n"; failed=1; restore "$name"; continue
  fi
  if ! build; then
    table+="| $name | $what | does not build | - |\n"; failed=1; restore "$name"; continue
  fi
  declare -A by=()
  catching=0
  while read -r seed checks; do
    new=""
    for c in ${checks//,/ }; do
      [[ ",${base[$seed]:-}," == *",$c,"* ]] || new+="${new:+,}$c"
    done
    [ -z "$new" ] && continue
    catching=$((catching + 1))
    for c in ${new//,/ }; do by[$c]=$(( ${by[$c]:-0} + 1 )); done
  done < <(soak "$name")
  caught=""
  for c in "${!by[@]}"; do caught+="${caught:+, }$c (${by[$c]})"; done
  [ "$catching" -lt "$min" ] && failed=1
  table+="| $name | $what | ${caught:-survived} | $catching |\n"
  echo "$name: ${caught:-survived}, $catching seeds"
  unset by
  restore "$name"
done < <(python3 "$here/apply_mutant.py" "$list")

echo
printf "%b" "$table"
echo
echo "mutation check: $(( ($(date +%s) - start) / 60 )) min, $runs seeds each at time scale $scale"
exit $failed
