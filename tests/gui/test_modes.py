"""Normal modes in the window: the list, a mode that plays and stops, arrows, the spectrum and its files."""

import os
import time
import unittest

from harness import ScratchTest, Viewer
from test_keys import cpu_seconds

# Water with three modes, the first imaginary; bohr coordinates, as Molden files give them.
MOLDEN = """[Molden Format]
[FREQ]
-512.30
1650.20
3750.90
[INT]
12.5
60.1
30.7
[FR-COORD]
O 0.0 0.0 0.2268
H 0.0 1.4362 -0.9073
H 0.0 -1.4362 -0.9073
[FR-NORM-COORD]
vibration 1
0.0 0.0 0.07
0.0 -0.42 -0.55
0.0 0.42 -0.55
vibration 2
0.0 0.0 -0.07
0.0 0.42 0.55
0.0 -0.42 0.55
vibration 3
0.0 0.07 0.0
0.0 -0.58 0.40
0.0 -0.58 -0.40
"""

ORANGE = lambda p: p[0] > 200 and 90 < p[1] < 180 and p[2] < 60

class Modes(ScratchTest):

    def test_a_mode_plays_with_arrows_stops_idle_and_the_spectrum_is_written(self):
        path = self.write("water.molden", MOLDEN)
        with Viewer([path]) as v:
            v.wait_for_log("New molecule: ")
            v.key("o")  # face-on: the molecule lies in the yz plane
            rest = v.settled()
            v.key("v")
            listed = v.settled()
            self.assertTrue(any(min(listed.pixel(x, y)) > 200 for y in range(30, 120) for x in range(5, 150)))
            v.key("Next", "Next")  # PgDn twice: the imaginary mode comes first, then the bend
            v.wait_until(lambda: v.screenshot().rgb != v.screenshot().rgb, what="the structure moving")
            v.key("a")
            orange = lambda img: sum(ORANGE(img.pixel(x, y)) for y in range(60, 450, 3) for x in range(0, 512, 3))
            v.wait_until(lambda: orange(v.screenshot()) > 20, what="arrows")
            v.key("Prior", "Prior")  # PgUp to "no mode": the structure at rest again and the viewer idle
            still = v.settled()
            before = cpu_seconds(v.proc.pid)
            time.sleep(1.5)
            self.assertLess(cpu_seconds(v.proc.pid) - before, 0.15)
            self.assertEqual(v.screenshot().rgb, still.rgb)
            v.key("v")
            v.settled(rest.rgb)
            v.key("s")
            v.wait_until(lambda: v.screenshot().rgb != rest.rgb, what="the spectrum")
            v.key("w")
            v.wait_for_log("Saved the spectrum as")
            with open(path + "-spectrum.csv") as f:
                self.assertEqual(f.readline(), "wavenumber_cm-1,ir_km_mol\n")
            self.assertTrue(os.path.getsize(path + "-spectrum.png") > 0)

if __name__ == "__main__":
    unittest.main(verbosity=2)
