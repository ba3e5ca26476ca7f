#!/usr/bin/env bash
# The mutation check: each mutant of mutants.txt applied in turn to a scratch copy of
# the tree, the soak run on its CI seeds against it, and a table printed of the
# invariants that caught it and on how many seeds. A seed catches a mutant when it
# breaches an invariant it did not breach on the unchanged monitor. Fails when a
# mutant survives, is caught by fewer than MUTANT_MIN_SEEDS seeds, or no longer fits
# the code.
#   MUTANT_RUNS (80) MUTANT_SCALE (0.01): the seeds 1..MUTANT_RUNS, as ctest runs them
#   MUTANT_JOBS (4): soak processes at once
#   MUTANT_MIN_SEEDS (a tenth of the seeds, at least 2): the fewest that must catch each
#   MUTANT_DIR (/tmp/qxlm-mutants): the scratch copy and its build
#   MUTANT_ONLY: names to run (comma-separated), default all
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tree="$(cd "$here/../.." && pwd)"
runs="${MUTANT_RUNS:-80}"
scale="${MUTANT_SCALE:-0.01}"
# A mutant that one seed in forty catches is a blind spot, not a catch.
min="${MUTANT_MIN_SEEDS:-$(( runs / 10 > 2 ? runs / 10 : 2 ))}"
jobs="${MUTANT_JOBS:-4}"
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

# Prints "seed checks" for every seed that breached. The seeds run in MUTANT_JOBS
# processes at once, each with a Windows folder (pipes, registry, logs) of its own:
# the soak sleeps most of the time.
soak() {
  local shard first count
  for ((shard = 0; shard < jobs; shard++)); do
    first=$((1 + shard * runs / jobs))
    count=$(((shard + 1) * runs / jobs - shard * runs / jobs))
    rm -rf "$scratch/windows-$1-$shard"
    QXLM_WINDOWS_DIR="$scratch/windows-$1-$shard" "$scratch/src/build/linux/tools/qxlm-soak" --first-seed "$first" \
      --runs "$count" --time-scale "$scale" --quiet --traces 0 2>/dev/null &
  done | sed -n 's/^  seed \([0-9]*\): \(.*\)$/\1 \2/p'
  wait
}

build || { echo "the unchanged tree does not build: $scratch/build.log"; exit 2; }
# Twice: a breach that hangs on a race may show in one run only.
declare -A base=()
for pass in 1 2; do
  while read -r seed checks; do base[$seed]="${base[$seed]:+${base[$seed]},}$checks"; done < <(soak base)
done
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
  verdict="${caught:-survived}"
  if [ "$catching" -lt "$min" ]; then
    failed=1
    [ -n "$caught" ] && verdict+="; fewer than $min seeds: a blind spot"
  fi
  table+="| $name | $what | $verdict | $catching |\n"
  echo "$name: ${caught:-survived}, $catching seeds"
  unset by
  restore "$name"
done < <(python3 "$here/apply_mutant.py" "$list")

echo
printf "%b" "$table"
echo
echo "mutation check: $(( ($(date +%s) - start) / 60 )) min, $runs seeds each at time scale $scale"
exit $failed
