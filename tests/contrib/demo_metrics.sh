#!/bin/sh
# Runs the demo with a jam that nobody clears and keeps its port open, has qxlm-ctl
# watch write the metrics file until the printer shows the jam, and checks the file
# with promtool.
# usage: demo_metrics.sh QXLM_DEMO QXLM_CTL METRICS_FILE
set -u
demo=$1 ctl=$2 metrics=$3
mkdir -p "$(dirname "$metrics")" "$QXLM_WINDOWS_DIR"
rm -f "$metrics"
"$demo" --fault jam --keep-open --time-scale 0.01 >"$metrics.demo.log" 2>&1 &
demo_pid=$!
trap 'kill -INT $demo_pid 2>/dev/null; wait $demo_pid 2>/dev/null' EXIT
"$ctl" watch USB001 --metrics "$metrics" --interval 200ms --until CUTTER_JAM --until-timeout 120s || {
  echo "demo_metrics.sh: the printer never showed the jam; the demo said:"
  cat "$metrics.demo.log"
  exit 1
}
grep -q '^qxlm_condition{port="USB001",condition="CUTTER_JAM",ipp="media-jam"} 1$' "$metrics" || {
  echo "demo_metrics.sh: no jam line in $metrics"
  exit 1
}
promtool check metrics <"$metrics"
