"""The background colour dialog (F3) and the 5000 x 3000 PNG capture (F4)."""

import os
import re
import shutil
import struct
import subprocess
import time
import unittest

from harness import FittedView, ScratchTest, Viewer, is_red, near, parse_ppm, write_xyz

# Oxygen (red) above nitrogen (blue), not bonded.
ATOMS = [("O", 0.0, 1.0, 0.0), ("N", 0.0, -1.0, 0.0)]
CAPTURING = "Capturing image...\n"
BLUE = (0x33, 0x66, 0xcc)


def png_header(path):
    """(width, height, bit depth, colour type)."""
    with open(path, "rb") as f:
        head = f.read(33)
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", head
    return struct.unpack(">II", head[16:24]) + (head[24], head[25])


def convert(path, *args):
    p = subprocess.run(["convert", path, *args], capture_output=True, timeout=120)
    assert p.returncode == 0, p.stderr
    return p.stdout


def small_copy(path):
    """The image scaled down to 500 x 300, as RGB."""
    return parse_ppm(convert(path, "-resize", "500x300!", "-depth", "8", "ppm:-"))


def rgba_at(path, x, y):
    return tuple(convert(path, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "rgba:-")[:4])


def box_centre(img, y0, y1, background):
    """Centre of the box around everything but the background in rows [y0, y1)."""
    pts = [(x, y) for y in range(y0, y1) for x in range(img.width) if not near(img.pixel(x, y), background, 40)]
    assert pts, "nothing drawn"
    xs, ys = [p[0] for p in pts], [p[1] for p in pts]
    return (min(xs) + max(xs) + 1) / 2, (min(ys) + max(ys) + 1) / 2


def is_blue(p):
    # Nitrogen's blue, not the background's (0x33, 0x66, 0xcc).
    return p[2] > 150 and p[0] < 90 and p[1] < 95


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

    def dialogs(self, v):
        return v.xdotool("search", "--name", "^Choose color$", check=False).split()

    def choose(self, v, html=None, alpha=None):
        """F3, then type the colour into the dialog (or Escape when html is None)."""
        v.key("F3")
        v.wait_until(lambda: self.dialogs(v), timeout=20, what="the colour dialog")
        v.xdotool("windowfocus", "--sync", self.dialogs(v)[0], check=False)
        if html is None:
            v.xdotool("key", "Escape")
        else:
            if alpha is not None:
                v.xdotool("key", "--delay", 50, "alt+l", "ctrl+a")
                v.xdotool("type", str(alpha))
            v.xdotool("key", "--delay", 50, "alt+h", "ctrl+a")
            v.xdotool("type", html)
            v.xdotool("key", "Return")
        v.wait_until(lambda: not self.dialogs(v), what="the dialog to close")

    def capture(self, v, count):
        """F4 and wait for the count-th capture to be complete on disk."""
        before = os.stat(self.png).st_mtime_ns if os.path.exists(self.png) else None
        v.key("F4")
        v.wait_until(lambda: v.stdout().count(CAPTURING) == count, what="capture %d" % count)
        v.wait_until(lambda: os.path.exists(self.png) and os.stat(self.png).st_mtime_ns != before, timeout=60,
                     what="the PNG")

    def test_colour_and_capture(self):
        with Viewer([self.path]) as v:  # the viewer checks on exit that pair.xyz is unchanged
            self.start(v)
            self.choose(v, "#3366cc")
            v.wait_until(lambda: v.screenshot().pixel(5, 500) == BLUE, what="the new background")
            self.choose(v)  # cancelled: the background stays
            v.key("Up", "Down")
            time.sleep(0.5)
            self.assertEqual(v.screenshot().pixel(5, 500), BLUE)

            geometry, screen = v.geometry(), v.screenshot()
            # F4 acts on its release only.
            v.key_down("F4")
            time.sleep(0.3)  # shorter than the X server's auto-repeat delay
            self.assertNotIn(CAPTURING, v.stdout())
            self.assertFalse(os.path.exists(self.png))
            v.key_up("F4")
            v.wait_until(lambda: os.path.exists(self.png), timeout=60, what="the PNG")
            self.assertTrue(v.stdout().endswith(CAPTURING), v.stdout())  # and nothing else
            self.assertEqual(png_header(self.png), (5000, 3000, 8, 2))  # opaque: RGB
            self.assertEqual(sorted(os.listdir(self.dir)), ["pair.xyz", "pair.xyz.png"])

            img = small_copy(self.png)
            self.assertTrue(near(img.pixel(2, 150), BLUE), img.pixel(2, 150))
            self.assertTrue(near(img.pixel(497, 297), BLUE))
            # Upright and in the window's view, at the 5:3 aspect.
            view = FittedView(ATOMS)
            for atom, rows, colour in ((ATOMS[0], (20, 150), is_red), (ATOMS[1], (150, 300), is_blue)):
                want = view.project(*atom[1:], width=500, height=300)
                got = box_centre(img, rows[0], rows[1], BLUE)
                self.assertAlmostEqual(got[0], want[0], delta=2)
                self.assertAlmostEqual(got[1], want[1], delta=2)
                self.assertTrue(colour(img.pixel(int(got[0]), int(got[1]))), img.pixel(int(got[0]), int(got[1])))
            self.assertEqual(rgba_at(self.png, 10, 10), BLUE + (255,))

            # The window is as it was.
            self.assertEqual(v.geometry(), geometry)
            v.wait_until(lambda: v.screenshot().rgb == screen.rgb, what="the same picture after the capture")

            # A second capture replaces the file, now with a translucent background.
            self.choose(v, "#3366cc", alpha=128)
            self.capture(v, 2)
            self.assertEqual(png_header(self.png), (5000, 3000, 8, 6))  # RGBA
            self.assertEqual(rgba_at(self.png, 10, 10), BLUE + (128,))
            o = view.project(*ATOMS[0][1:], width=500, height=300)
            self.assertTrue(is_red(small_copy(self.png).pixel(int(o[0]), int(o[1]))))
            self.assertEqual(sorted(os.listdir(self.dir)), ["pair.xyz", "pair.xyz.png"])

    def test_unwritable_image_is_reported_and_the_viewer_carries_on(self):
        os.mkdir(self.png)  # a folder where the image should go: no one can write it
        with Viewer([self.path]) as v:
            self.start(v)
            v.key("F4")
            v.wait_for_log("Could not save the image " + self.png)
            self.assertRegex(v.stdout(), re.escape(CAPTURING + "Could not save the image " + self.png) + r": .+\n$")
            self.assertEqual(os.listdir(self.png), [])
            v.key("c")
            v.wait_for_log("N2 ")
            if os.geteuid() != 0:  # permissions do not stop root
                os.rmdir(self.png)
                os.chmod(self.dir, 0o555)
                v.key("F4")
                v.wait_until(lambda: v.stdout().count("Could not save the image") == 2, timeout=60,
                             what="the second report")
            self.assertIsNone(v.proc.poll())
        self.assertEqual(sorted(os.listdir(self.dir)), ["pair.xyz"] + ([] if os.geteuid() != 0 else ["pair.xyz.png"]))

    def test_capture_uses_the_start_up_name_after_a_drop(self):
        other = os.path.join(self.dir, "other.xyz")
        shutil.copy(self.path, other)
        with Viewer([self.path]) as v:
            self.start(v)
            self.assertTrue(v.drop([other]))
            v.wait_until(lambda: v.stdout().count("New molecule: ") == 3, what="the drop")
            self.capture(v, 1)
        self.assertFalse(os.path.exists(other + ".png"))
        self.assertEqual(png_header(self.png)[:2], (5000, 3000))


if __name__ == "__main__":
    unittest.main(verbosity=2)
