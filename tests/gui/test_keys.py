"""Key commands: stepping through structures and styles, hydrogens, the
coordinate listing, and keys pressed while nothing is loaded."""

import os
import struct
import tempfile
import unittest

from harness import EXAMPLES, Viewer
from view import FittedView

BENZENE = os.path.join(EXAMPLES, "benzene.xyz")
HEADER = "Cartesian coordinates of atoms for the current structure:\n"


def f32(v):
    return struct.unpack("f", struct.pack("f", v))[0]


def read_xyz(path):
    with open(path) as f:
        lines = f.read().splitlines()
    n = int(lines[0])
    return [(l.split()[0], float(l.split()[1]), float(l.split()[2]), float(l.split()[3])) for l in lines[2:2 + n]]


def region(img, y0, y1):
    """The raw pixels of rows [y0, y1): equal bytes, equal picture."""
    return bytes(img._rgb[3 * img.width * y0:3 * img.width * y1])


class Keys(unittest.TestCase):

    def setUp(self):
        self._dir = tempfile.TemporaryDirectory(prefix="orbisk-keys-")
        self.dir = self._dir.name

    def tearDown(self):
        self._dir.cleanup()

    def settle(self, v, expected=None, y0=0, y1=512):
        """The picture once the window has redrawn: the expected one, or any stable one."""
        if expected is not None:
            v.wait_until(lambda: region(v.screenshot(), y0, y1) == expected, what="the expected picture")
            return expected
        last = [None]

        def stable():
            now = region(v.screenshot(), y0, y1)
            same, last[0] = now == last[0], now
            return same
        v.wait_until(stable, what="a stable picture")
        return last[0]

    def test_arrows_step_structures_with_wrap_around(self):
        # Three frames of a bent triatomic; the bend differs from frame to frame.
        path = os.path.join(self.dir, "bend.trj")
        with open(path, "w") as f:
            for k, (x, y) in enumerate([(1.5, 0.0), (0.0, 1.5), (-1.0, -1.1)]):
                f.write("3\nframe %d\nO 0 0 0\nH 1.0 0 0\nH %f %f 0\n" % (k + 1, x, y))
        with Viewer([path]) as v:
            v.wait_for_log("New molecule: ")
            v.window()
            top = lambda picture: picture[:3 * 512 * 25]  # the overlay line with its (k/3)
            third = self.settle(v)  # the last frame comes up first
            v.key("Right")  # past the end: the first
            v.wait_until(lambda: region(v.screenshot(), 0, 512) != third, what="frame 1")
            first = self.settle(v)
            v.key("Right")
            v.wait_until(lambda: region(v.screenshot(), 0, 512) not in (first, third), what="frame 2")
            second = self.settle(v)
            self.assertEqual(len({top(first), top(second), top(third)}), 3)
            self.assertEqual(len({first[3 * 512 * 25:], second[3 * 512 * 25:], third[3 * 512 * 25:]}), 3)
            v.key("Right")
            self.settle(v, third)
            v.key("Left")
            self.settle(v, second)
            v.key("Left", "Left")  # before the start: the last
            self.settle(v, third)
            v.key("Right")
            self.settle(v, first)
            self.assertEqual(v.stdout().count("New molecule: "), 3)  # stepping loads nothing

    def test_up_and_down_cycle_four_styles_and_h_toggles_hydrogens(self):
        atoms = read_xyz(BENZENE)
        view = FittedView(atoms)
        h_at = view.pixel(*atoms[7][1:])  # H8, on the +y axis
        with Viewer([BENZENE]) as v:
            v.wait_for_log("New molecule: ")
            v.window()
            pictures = [self.settle(v)]
            for _ in range(3):
                v.key("Up")
                v.wait_until(lambda: region(v.screenshot(), 0, 512) not in pictures, what="the next style")
                pictures.append(self.settle(v))
            v.key("Up")  # 3 -> 0 -> 1: back to ball-and-stick
            self.settle(v, pictures[0])
            v.key("Down")  # 1 -> 0: wireframe, the fourth picture
            self.settle(v, pictures[3])
            v.key("Down", "Down")
            self.settle(v, pictures[1])

            # Sticks now. H hides the hydrogens, in this style and the next.
            self.assertNotEqual(v.screenshot().pixel(*h_at), (0, 0, 0))
            v.key("h")
            v.wait_until(lambda: v.screenshot().pixel(*h_at) == (0, 0, 0), what="hydrogens hidden")
            v.key("Down")
            hidden = self.settle(v)
            self.assertNotEqual(hidden, pictures[0])
            self.assertEqual(v.screenshot().pixel(*h_at), (0, 0, 0))
            v.key("h")
            self.settle(v, pictures[0])

    def test_c_lists_the_coordinates_of_the_current_structure(self):
        atoms = read_xyz(BENZENE)
        expected = HEADER + "".join("%s%d %.6f %.6f %.6f\n" % (s, i + 1, f32(x), f32(y), f32(z))
                                    for i, (s, x, y, z) in enumerate(atoms))
        with Viewer([BENZENE]) as v:
            v.wait_for_log("New molecule: ")
            v.key("c")
            v.wait_for_log("H12 ")
            out = v.stdout()
            self.assertEqual(out[out.index(HEADER):], expected)
            self.assertIn("C1 1.209837 0.698500 0.000000\n", out)

    def test_keys_and_clicks_with_nothing_loaded(self):
        notes = os.path.join(self.dir, "notes.txt")
        with open(notes, "w") as f:
            f.write("nothing to read here\n")
        with Viewer([notes]) as v:
            v.wait_for_log("No molecules could be found!\n")
            before = v.stdout()
            picture = self.settle(v)
            v.key("Left", "Right", "Up", "Down", "b", "c", "h")
            v.click(256, 256)
            v.click(256, 256, button=3)
            v.key("Up")
            self.settle(v, picture)
            self.assertEqual(v.stdout(), before)
            # H changed the setting all the same: the dropped benzene comes without hydrogens.
            # (The view is fitted to what is drawn: the carbon ring alone.)
            view = FittedView([a for a in read_xyz(BENZENE) if a[0] != "H"])
            x, y = view.pixel(1.209837, 0.6985, 0.0)
            inside_c1 = (x, y + 20)  # outside every atom and bond of a fit that includes hydrogens
            self.assertTrue(v.drop([BENZENE]))
            v.wait_for_log("New molecule: ")
            v.wait_until(lambda: v.screenshot().pixel(*inside_c1) != (0, 0, 0), what="benzene without hydrogens")
            v.key("c")
            v.wait_for_log("H12 ")
            self.assertEqual(v.stdout().count(HEADER), 1)

    def test_releases_other_than_f3_and_f4_reach_the_toolkit(self):
        with Viewer([BENZENE]) as v:
            v.wait_for_log("New molecule: ")
            v.key_down("Escape")
            v.key_up("Escape")
            self.assertEqual(v.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
