#!/usr/bin/env bash
# Loading speed beside the programs chemists use instead, in one run.
# Usage: bench/peers.sh [BUILD_DIR]   (peers are optional: Debian's pymol, openbabel;
# the timings use hyperfine when it is installed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
orbisk="$build/orbisk"
data=${ORBISK_BENCH_DATA:-/tmp/orbisk-bench}
[ -f "$data/traj-100k.trj" ] || python3 "$root/bench/make_inputs.py" "$data"
# Peers decide the format by the name: give them .xyz copies of the trajectories.
for t in traj-10k traj-100k; do [ -f "$data/$t.xyz" ] || ln -sf "$data/$t.trj" "$data/$t.xyz"; done

cases=(waterbox-100k.xyz traj-10k.trj traj-100k.trj)
for c in "${cases[@]}"; do
  f="$data/$c"
  x="$data/${c%.*}.xyz"
  cmds=("$orbisk --export xyz $f")
  names=("orbisk")
  if command -v pymol >/dev/null && [ "$c" != traj-100k.trj ]; then
    # PyMOL's cost grows with the square of the frame count: 100,000 frames take minutes.
    cmds+=("env PATH=/usr/bin:/bin pymol -cq $x"); names+=("pymol")
  fi
  if command -v obabel >/dev/null; then
    cmds+=("obabel -ixyz $x -oxyz -O /dev/null"); names+=("obabel")
  fi
  echo "== $c"
  if command -v hyperfine >/dev/null; then
    args=()
    for i in "${!cmds[@]}"; do args+=(-n "${names[$i]}" "${cmds[$i]} > /dev/null 2>&1"); done
    hyperfine --warmup 1 --runs 5 --style basic "${args[@]}" 2>/dev/null | grep -E "^ *(Time|Benchmark)|±" || true
  else
    for i in "${!cmds[@]}"; do
      /usr/bin/time -f "${names[$i]}: %e s, %M KB max RSS" bash -c "${cmds[$i]} > /dev/null 2>&1"
    done
  fi
  /usr/bin/time -f "orbisk max RSS: %M KB" bash -c "$orbisk --export xyz $f > /dev/null 2>&1"
done
