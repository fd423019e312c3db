"""Orbitals in the window: M lists them, PgDn shows the HOMO as blue and red surfaces (H2's sigma*: seen
along the bond, its near lobe), [ and ] change
them, T makes them translucent, and PgUp back to "none" takes them away."""

import os
import unittest

from harness import TEST_DATA, ScratchTest, Viewer

H2 = os.path.join(TEST_DATA, "orbitals", "h2_uhf.molden")

def surface(img):
    """Pixels of the lobes' blue (positive) or red (negative); hydrogens are white."""
    lobe = lambda p: (p[2] > 150 and p[0] < 120 and p[1] < 170) or (p[0] > 150 and p[1] < 110 and p[2] < 110)
    return sum(lobe(img.pixel(x, y)) for y in range(40, 480, 3) for x in range(0, img.width, 3))

class Orbitals(ScratchTest):

    def test_the_homo_as_surfaces_iso_value_translucency_and_none(self):
        with Viewer([H2]) as v:
            v.wait_for_log("New molecule: ")
            plain = v.settled()
            v.key("m")
            listed = v.settled()
            self.assertTrue(any(min(listed.pixel(x, y)) > 200 for y in range(30, 90) for x in range(300, 512)))
            v.key("Next")
            v.wait_for_log("Showing ")
            self.assertIn("(HOMO)", v.stdout())
            homo = v.settled()
            self.assertGreater(surface(homo), 50)
            v.key("bracketright")  # a higher iso value: a smaller lobe
            v.wait_until(lambda: 0 < surface(v.screenshot()) < surface(homo), what="a smaller surface")
            v.key("t")
            v.wait_until(lambda: v.screenshot().rgb != homo.rgb, what="translucent surfaces")
            v.key("Prior", "Prior")
            v.wait_until(lambda: surface(v.screenshot()) == 0, what="no surfaces")

if __name__ == "__main__":
    unittest.main(verbosity=2)
