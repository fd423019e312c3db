#!/usr/bin/env bash
# Idle CPU of the viewer: with nothing happening the window must not redraw.
# Starts orbisk in a private Xvfb on FILE (default examples/benzene.xyz), lets
# it settle, then samples utime+stime from /proc/PID/stat over SECONDS (5).
# Usage: bench/idle_cpu.sh [ORBISK_BIN] [FILE] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-"$root/build/orbisk"}
file=${2:-"$root/examples/benzene.xyz"}
seconds=${3:-5}

exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null & echo "pid $!")
read -r _ xvfb <&3
read -r display <&3
out=$(mktemp)
cleanup() {
  kill "${viewer:-}" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -f "$out"
}
trap cleanup EXIT

DISPLAY=":$display" XDG_RUNTIME_DIR=$(mktemp -d) "$bin" "$file" >"$out" 2>&1 &
viewer=$!
for _ in $(seq 100); do
  grep -q -e "New molecule" -e "No molecules" "$out" && break
  sleep 0.1
done
sleep 1 # first frames

ticks() { awk '{print $14 + $15}' "/proc/$viewer/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks)
sleep "$seconds"
t1=$(ticks)
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "idle CPU over %ss: %d ticks (%.3f s), %.2f%% of one core\n", s, d, d / hz, 100 * d / hz / s }'
