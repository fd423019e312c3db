#!/usr/bin/env bash
# Renders the pictures of docs/comparison.md: divinylbenzene and a box of
# 1,000 waters, ball-and-stick on white at 1200x900, by ORBISK, by PyMOL's ray
# tracer and by Jmol's image export, and prints how long each took.
#
# Usage: docs/comparison/make_pictures.sh [BUILD_DIR]   (default: build)
# Environment: PYMOL (pymol), JMOLDATA (/usr/share/jmol/JmolData.jar), JAVA
# (java), RUNS (3: each render is timed this many times, the median kept),
# DVB_OUT (a Gaussian output of divinylbenzene; when readable, dvb.xyz is
# exported from it again, otherwise the dvb.xyz kept here is used).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-"$root/build"}
orbisk="$build/orbisk"
pymol=${PYMOL:-pymol}
jmoldata=${JMOLDATA:-/usr/share/jmol/JmolData.jar}
java=${JAVA:-java}
runs=${RUNS:-3}
dvb_out=${DVB_OUT:-/work/shared/corpus/Gaussian/basicGaussian16/dvb_sp.out}
width=1200
height=900
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Same coordinates for all three, already turned into ORBISK's --orient view,
# so each program's default view down z shows the same picture.
if [ -r "$dvb_out" ]; then
  "$orbisk" --export xyz "$dvb_out" 2>/dev/null >"$work/dvb_raw.xyz"
  python3 "$here/orient_xyz.py" "$work/dvb_raw.xyz" >"$here/dvb.xyz"
fi
cp "$here/dvb.xyz" "$work/dvb.xyz"
python3 "$here/make_waterbox.py" 10 >"$work/waters_raw.xyz"
python3 "$here/orient_xyz.py" "$work/waters_raw.xyz" >"$work/waters.xyz"

# PyMOL and Jmol fit a structure more tightly than ORBISK does: these factors
# (measured once from the pictures' extents) make each molecule fill the same
# width of the frame in all three pictures.
declare -A pymol_scale=([dvb]=0.749 [waters]=0.654)
declare -A jmol_zoom=([dvb]=70.2 [waters]=51.7)

seconds() { date +%s.%N; }

# Runs "$@" $runs times and prints the median wall time in seconds.
timed() {
  local times=() start end
  for _ in $(seq "$runs"); do
    start=$(seconds)
    "$@" >>"$work/log" 2>&1
    end=$(seconds)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

printf '%-8s %-7s %s\n' molecule program "wall s (median of $runs)"
for mol in dvb waters; do
  t=$(timed "$orbisk" --render "$here/${mol}_orbisk.png" --size ${width}x${height} \
    --style ballstick --background white "$work/$mol.xyz")
  printf '%-8s %-7s %.2f\n' "$mol" orbisk "$t"
  t=$(timed "$pymol" -cq "$here/render_pymol.py" -- "$work/$mol.xyz" \
    "$here/${mol}_pymol.png" $width $height "${pymol_scale[$mol]}")
  printf '%-8s %-7s %.2f\n' "$mol" pymol "$t"
  t=$(timed "$java" -jar "$jmoldata" -n -J "xyzFile=\"$work/$mol.xyz\"; \
pngFile=\"$here/${mol}_jmol.png\"; imageWidth=$width; imageHeight=$height; \
zoomPercent=${jmol_zoom[$mol]}" -s "$here/render_jmol.spt")
  printf '%-8s %-7s %.2f\n' "$mol" jmol "$t"
done
# The programs' own timings of the drawing step alone.
grep -E '^(pymol|jmol) ' "$work/log" | sed "s|$here/||" || true

if command -v optipng >/dev/null; then
  optipng -quiet -o2 -strip all "$here"/*_orbisk.png "$here"/*_pymol.png "$here"/*_jmol.png
fi
