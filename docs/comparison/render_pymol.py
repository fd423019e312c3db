# Ray-traces one XYZ file as ball-and-stick with PyMOL's defaults for the
# ray tracer (shadows, antialiasing, highlights as shipped).
# Usage: pymol -cq render_pymol.py -- IN.xyz OUT.png WIDTH HEIGHT SCALE
# SCALE enlarges (above 1) or shrinks the molecule from PyMOL's own fit, so it
# fills about the same share of the frame as in ORBISK's picture.
import sys
import time

from pymol import cmd

xyz, png = sys.argv[1], sys.argv[2]
width, height, scale = int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5])

start = time.perf_counter()
cmd.load(xyz, "mol")
cmd.hide("everything")
cmd.show("sticks")
cmd.show("spheres")
# Radii close to those of ORBISK's ball-and-stick (balls 15% of the van der
# Waals radius, sticks 0.1 A), as in the Jmol picture.
cmd.set("sphere_scale", 0.15)
cmd.set("stick_radius", 0.1)
cmd.color("grey50", "elem C")
cmd.color("white", "elem H")
cmd.color("red", "elem O")
cmd.bg_color("white")
cmd.set("ray_opaque_background", 1)
cmd.viewport(width, height)
cmd.zoom("all", complete=1)
# Move the camera back (or in) and the clipping planes with it.
view = list(cmd.get_view())
shift = view[11] * (1 / scale - 1)
view[11] += shift
view[15] -= shift
view[16] -= shift
cmd.set_view(view)
loaded = time.perf_counter()
cmd.ray(width, height)
traced = time.perf_counter()
cmd.png(png)
print(
    f"pymol {png}: ray {traced - loaded:.2f} s, load+ray+write {time.perf_counter() - start:.2f} s,"
    f" max_threads {cmd.get('max_threads')}"
)
