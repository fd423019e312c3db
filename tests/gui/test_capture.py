"""The background colour dialog (F3) and the 5000 x 3000 PNG capture (F4)."""

import os
import re
import shutil
import subprocess
import time
import unittest

from harness import FittedView, ScratchTest, Viewer, is_red, near, parse_ppm, write_xyz

# Oxygen (red) above nitrogen (blue), not bonded.
ATOMS = [("O", 0.0, 1.0, 0.0), ("N", 0.0, -1.0, 0.0)]
CAPTURING = "Capturing image...\n"
BLUE = (0x33, 0x66, 0xcc)

def convert(path, *args):
    p = subprocess.run(["convert", path, *args], capture_output=True, timeout=120)
    assert p.returncode == 0, p.stderr
    return p.stdout

def png_header(path):
    """Format, width, height, bit depth and channels."""
    return convert(path, "-format", "%m %w %h %z %[channels]", "info:").decode()

def small_copy(path):
    """The image scaled down to 500 x 300, as RGB."""
    return parse_ppm(convert(path, "-resize", "500x300!", "-depth", "8", "ppm:-"))

def rgba_at(path, x, y):
    return tuple(convert(path, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "rgba:-")[:4])

def box_centre(img, y0, y1):
    """Centre of the box around everything but the background in rows [y0, y1)."""
    pts = [(x, y) for y in range(y0, y1) for x in range(img.width) if not near(img.pixel(x, y), BLUE, 40)]
    assert pts, "nothing drawn"
    return (min(p[0] for p in pts) + max(p[0] for p in pts) + 1) / 2, (pts[0][1] + pts[-1][1] + 1) / 2

class Capture(ScratchTest):

    def setUp(self):
        super().setUp()
        self.path = os.path.join(self.dir, "pair.xyz")
        write_xyz(self.path, ATOMS)
        self.png = self.path + ".png"

    def start(self, v):
        v.wait_for_log("New molecule: ")
        o = FittedView(ATOMS).pixel(*ATOMS[0][1:])
        v.wait_until(lambda: is_red(v.screenshot().pixel(*o)), what="the first frame")

    def choose(self, v, html=None, alpha=None):
        """F3, then type the colour into the dialog (or Escape when html is None)."""
        dialogs = lambda: v.xdotool("search", "--name", "^Choose color$", check=False).split()
        v.key("F3")
        v.wait_until(dialogs, timeout=20, what="the colour dialog")
        v.xdotool("windowfocus", "--sync", dialogs()[0], check=False)
        for field, value in (("alt+l", alpha), ("alt+h", html)):
            if value is not None:
                v.xdotool("key", "--delay", 50, field, "ctrl+a")
                v.xdotool("type", str(value))
        v.xdotool("key", "Escape" if html is None else "Return")
        v.wait_until(lambda: not dialogs(), what="the dialog to close")

    def test_colour_captures_before_and_after_a_drop_and_unwritable_images(self):
        other = os.path.join(self.dir, "other.xyz")
        shutil.copy(self.path, other)
        with Viewer([self.path]) as v:  # the viewer checks on exit that the inputs are unchanged
            self.start(v)
            self.choose(v, "#3366cc")
            v.wait_until(lambda: v.screenshot().pixel(5, 500) == BLUE, what="the new background")
            self.choose(v)  # cancelled: the background stays
            v.key("Up", "Down")
            time.sleep(0.5)
            self.assertEqual(v.screenshot().pixel(5, 500), BLUE)

            geometry, screen = v.geometry(), v.screenshot()
            # F4 acts on its release only.
            v.key("F4", action="keydown")
            time.sleep(0.3)  # shorter than the X server's auto-repeat delay
            self.assertNotIn(CAPTURING, v.stdout())
            self.assertFalse(os.path.exists(self.png))
            v.key("F4", action="keyup")
            v.wait_until(lambda: os.path.exists(self.png), timeout=60, what="the PNG")
            self.assertTrue(v.stdout().endswith(CAPTURING), v.stdout())  # and nothing else
            self.assertEqual(png_header(self.png), "PNG 5000 3000 8 srgb")  # opaque
            self.assertEqual(sorted(os.listdir(self.dir)), ["other.xyz", "pair.xyz", "pair.xyz.png"])

            img = small_copy(self.png)
            self.assertTrue(near(img.pixel(2, 150), BLUE), img.pixel(2, 150))
            self.assertTrue(near(img.pixel(497, 290), BLUE))
            # Upright and in the window's view, at the 5:3 aspect.
            view = FittedView(ATOMS)
            is_blue = lambda p: p[2] > 150 and p[0] < 90 and p[1] < 95  # nitrogen's, not the background's
            for atom, rows, colour in ((ATOMS[0], (20, 150), is_red), (ATOMS[1], (150, 296), is_blue)):
                want = view.project(*atom[1:], width=500, height=300)
                got = box_centre(img, *rows)
                self.assertAlmostEqual(got[0], want[0], delta=2)
                self.assertAlmostEqual(got[1], want[1], delta=2)
                self.assertTrue(colour(img.pixel(int(got[0]), int(got[1]))), img.pixel(int(got[0]), int(got[1])))
            self.assertEqual(rgba_at(self.png, 10, 10), BLUE + (255,))

            # The window is as it was.
            self.assertEqual(v.geometry(), geometry)
            v.wait_until(lambda: v.screenshot().rgb == screen.rgb, what="the same picture after the capture")

            # After a drop, a second capture replaces the file under the start-up
            # name, now with a translucent background.
            self.assertTrue(v.drop([other]))
            v.wait_until(lambda: v.stdout().count("New molecule: ") == 3, what="the drop")
            self.choose(v, "#3366cc", alpha=128)
            before = os.stat(self.png).st_mtime_ns
            v.key("F4")
            v.wait_until(lambda: v.stdout().count(CAPTURING) == 2, what="capture 2")
            v.wait_until(lambda: os.stat(self.png).st_mtime_ns != before, timeout=60, what="the second PNG")
            self.assertEqual(png_header(self.png), "PNG 5000 3000 8 srgba")
            self.assertEqual(rgba_at(self.png, 10, 10), BLUE + (128,))
            o = view.project(*ATOMS[0][1:], width=500, height=300)
            self.assertTrue(is_red(small_copy(self.png).pixel(int(o[0]), int(o[1]))))
            self.assertEqual(sorted(os.listdir(self.dir)), ["other.xyz", "pair.xyz", "pair.xyz.png"])

            # A folder where the image should go, then a folder without write
            # permission (which does not stop root): reported, and the viewer carries on.
            os.remove(self.png)
            os.mkdir(self.png)
            v.key("F4")
            v.wait_for_log("Could not save the image " + self.png)
            self.assertRegex(v.stdout(), re.escape(CAPTURING + "Could not save the image " + self.png) + r": .+\n$")
            os.rmdir(self.png)  # empty, and nothing left beside it
            self.assertEqual(sorted(os.listdir(self.dir)), ["other.xyz", "pair.xyz"])
            v.key("c")
            v.wait_for_log("N2 ")
            if os.geteuid() != 0:
                os.chmod(self.dir, 0o555)
                v.key("F4")
                v.wait_until(lambda: v.stdout().count("Could not save the image") == 2, timeout=60,
                             what="the second report")
                self.assertEqual(sorted(os.listdir(self.dir)), ["other.xyz", "pair.xyz"])
            # The overlay line is drawn dark on a light background, light on a dark one.
            for colour, readable in (("#ffffff", lambda p: max(p) < 100), ("#000000", lambda p: min(p) > 155)):
                self.choose(v, colour)
                shows = lambda img: any(readable(img.pixel(x, y)) for y in range(4, 21) for x in range(0, 512, 2))
                v.wait_until(lambda: shows(v.screenshot()), what="overlay text on " + colour)
            self.assertIsNone(v.proc.poll())

if __name__ == "__main__":
    unittest.main(verbosity=2)
