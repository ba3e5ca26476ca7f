#!/bin/sh
# The Wine runner makes a second start of a program that ended at once with neither
# output nor success, and only then: a program that failed with output, or failed
# silently twice, still fails.
# Usage: wine_run_test.sh WINE-RUN-SCRIPT
runner="$1"
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

# A stand-in for wine whose behaviour on each start the case chooses:
# "silent" ends with status 1 and no output, "fail" prints and ends with 1, "pass"
# prints and ends with 0. Starts are counted.
cat >"$work/wine" <<'FAKE'
#!/bin/sh
count=$(($(cat "$FAKE_WINE_DIR/starts" 2>/dev/null || echo 0) + 1))
echo $count >"$FAKE_WINE_DIR/starts"
plan=$(sed -n "${count}p" "$FAKE_WINE_DIR/plan")
case "$plan" in
  silent) exit 1 ;;
  fail) echo "[  FAILED  ] a test"; exit 1 ;;
  pass) echo "[  PASSED  ] all"; exit 0 ;;
esac
exit 2
FAKE
chmod +x "$work/wine"

failures=0
# check NAME PLAN EXPECTED-STATUS EXPECTED-STARTS
check() {
  rm -f "$work/starts"
  printf '%s\n' $2 >"$work/plan"
  PATH="$work:$PATH" FAKE_WINE_DIR="$work" sh "$runner" program.exe >"$work/log" 2>&1
  status=$?
  starts=$(cat "$work/starts")
  if [ "$status" -ne "$3" ] || [ "$starts" -ne "$4" ]; then
    echo "$1: status $status after $starts starts, expected $3 after $4"
    cat "$work/log"
    failures=$((failures + 1))
  fi
}

check "silent start, then a pass" "silent pass" 0 2
grep -q "starting it once more" "$work/log" || { echo "the second start is not logged"; failures=$((failures + 1)); }
check "silent twice" "silent silent pass" 1 2
check "failure with output" "fail pass" 1 1
check "pass" "pass" 0 1
[ $failures -eq 0 ] && echo "wine runner: all cases as expected"
exit $failures
