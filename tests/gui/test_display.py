"""Display styles through the real viewer: a water molecule opened from the
command line, stepped through the styles and with hydrogens hidden, checked
on screenshots. The off-screen renderer tests cover the pixel detail; this
checks that the pieces meet in the window."""

import os
import tempfile
import time
import unittest

from harness import Viewer

# Oxygen on top, the hydrogens below it to the left and right, in the xy plane
# (the viewer looks along z with y up after a load).
WATER = """3
water
O   0.000   0.000  0.000
H  -0.757  -0.586  0.000
H   0.757  -0.586  0.000
"""

OVERLAY_ROWS = 40  # the status line at the top is white text


def is_red(p):
    return p[0] > 150 and p[1] < 90 and p[2] < 90


def is_white(p):
    return min(p) > 170 and max(p) - min(p) < 30


def stats(img, predicate):
    """(count, mean x, mean y) of the pixels below the overlay that match."""
    n = sx = sy = 0
    for y in range(OVERLAY_ROWS, img.height):
        for x in range(img.width):
            if predicate(img.pixel(x, y)):
                n += 1
                sx += x
                sy += y
    return (n, sx / n, sy / n) if n else (0, 0.0, 0.0)


class DisplayStyles(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory(prefix="orbisk-display-")
        self.path = os.path.join(self._dir.name, "water.xyz")
        with open(self.path, "w") as f:
            f.write(WATER)

    def tearDown(self):
        self._dir.cleanup()

    def wait_for(self, viewer, condition, timeout=20):
        """The first screenshot for which condition(img) holds."""
        deadline = time.monotonic() + timeout
        while True:
            img = viewer.screenshot()
            if condition(img) or time.monotonic() > deadline:
                return img
            time.sleep(0.2)

    def test_styles_and_hydrogens_on_screen(self):
        with Viewer([self.path]) as v:
            v.window()
            v.wait_for_log("New molecule")

            # Ball-and-stick: a red ball above two white ones, left and right.
            img = self.wait_for(v, lambda i: stats(i, is_red)[0] > 0 and stats(i, is_white)[0] > 0)
            red, white = stats(img, is_red), stats(img, is_white)
            self.assertGreater(red[0], 200, "oxygen ball")
            self.assertGreater(white[0], 100, "hydrogen balls")
            self.assertLess(red[2], white[2], "oxygen above the hydrogens")
            self.assertLess(abs(red[1] - img.width / 2), 20, "oxygen centred")
            whites_left = sum(1 for y in range(OVERLAY_ROWS, img.height) for x in range(img.width // 2)
                              if is_white(img.pixel(x, y)))
            self.assertGreater(whites_left, 0.3 * white[0], "one hydrogen on each side")
            self.assertLess(whites_left, 0.7 * white[0], "one hydrogen on each side")
            ball_and_stick = red[0]

            # Up: sticks, thinner than the balls; Up again: space-filling, far larger.
            v.key("Up")
            img = self.wait_for(v, lambda i: 0 < stats(i, is_red)[0] < ball_and_stick)
            sticks = stats(img, is_red)[0]
            self.assertLess(sticks, ball_and_stick)
            v.key("Up")
            img = self.wait_for(v, lambda i: stats(i, is_red)[0] > 3 * ball_and_stick)
            self.assertGreater(stats(img, is_red)[0], 3 * ball_and_stick, "van der Waals balls")

            # Up: wireframe, thin lines only; Up: back to ball-and-stick.
            v.key("Up")
            img = self.wait_for(v, lambda i: 0 < stats(i, is_red)[0] < sticks)
            wire = stats(img, is_red)[0]
            self.assertGreater(wire, 0)
            self.assertLess(wire, sticks)
            v.key("Up")
            img = self.wait_for(v, lambda i: stats(i, is_red)[0] > wire * 2)
            self.assertAlmostEqual(stats(img, is_red)[0], ball_and_stick, delta=ball_and_stick * 0.1)

            # h hides the hydrogens and their bonds.
            v.key("h")
            img = self.wait_for(v, lambda i: stats(i, is_white)[0] == 0)
            self.assertEqual(stats(img, is_white)[0], 0)
            self.assertGreater(stats(img, is_red)[0], 0.8 * ball_and_stick)


if __name__ == "__main__":
    unittest.main()
