"""Picking atoms with the left button, measurements with the right one, the
highlight of the selection and the B key's bond between two picked atoms."""

import os
import re
import unittest

from harness import BENZENE, FittedView, ScratchTest, Viewer, near, write_xyz

# Five atoms, none bonded (all pairs are 2 A or more apart), not coplanar.
ATOMS = [("C", -2.0, -1.5, 0.0), ("N", 0.0, -1.5, 0.6), ("O", 1.0, 0.5, -0.4), ("C", 2.5, 1.5, 0.5),
         ("H", -2.0, 1.5, 0.0)]
NAMES = ["%s%d" % (a[0], i + 1) for i, a in enumerate(ATOMS)]
HIGHLIGHT = (115, 255, 255)
BACKGROUND = (0, 0, 0)
GREY = (144, 144, 144)
# Distance, angle, centroid, out-of-plane and dihedral angle of C1-N2-O3-C4 from
# the stored (float) coordinates, with the decimal places to compare.
MEASURED = [(2.088061, 5), (105.885848, 4), (-1 / 3, 5), (-5 / 6, 5), (1 / 15, 5), (16.804891, 4), (148.517847, 4)]

class Picking(ScratchTest):

    def setUp(self):
        super().setUp()
        self.path = os.path.join(self.dir, "pick.xyz")
        write_xyz(self.path, ATOMS)
        self.view = FittedView(ATOMS)
        self.at = [self.view.pixel(*a[1:]) for a in ATOMS]

    def start(self, v):
        v.wait_for_log("New molecule: ")
        self.highlighted(v, 0, GREY)  # the first frame

    def pick(self, v, i):
        n = v.stdout().count("Atom = ")
        v.click(*self.at[i])
        v.wait_until(lambda: v.stdout().count("Atom = ") == n + 1, what="pick of %s" % NAMES[i])

    def measure(self, v, last):
        v.click(5, 5, button=3)
        v.wait_for_log(last)

    def highlighted(self, v, i, colour=HIGHLIGHT):
        v.wait_until(lambda: near(v.screenshot().pixel(*self.at[i]), colour, 14), what="%s in %s" % (NAMES[i], colour))

    def test_pick_highlight_measurements_and_a_selection_kept_over_loads(self):
        with Viewer([self.path]) as v:
            self.start(v)
            v.click(10, 500)  # background: silent
            self.pick(v, 0)
            out = v.stdout()
            self.assertEqual(out.count("Atom = "), 1)
            self.assertIn("Atom = (C1) (-2.000000,-1.500000,0.000000).\n", out)
            self.highlighted(v, 0)

            for i in (1, 2, 3):
                self.pick(v, i)
            # A fifth pick is reported but selects nothing.
            self.pick(v, 4)
            self.assertIn("Atom = (H5) (-2.000000,1.500000,0.000000).\n", v.stdout())
            img = v.screenshot()
            for i in range(4):
                self.assertTrue(near(img.pixel(*self.at[i]), HIGHLIGHT, 14), (NAMES[i], img.pixel(*self.at[i])))
            self.assertTrue(near(img.pixel(*self.at[4]), (254, 254, 254), 14), img.pixel(*self.at[4]))

            # Each picked atom's number stands left of it: text where there was background.
            for i in range(4):
                x, y = self.at[i]
                self.assertTrue(any(min(img.pixel(x - dx, y + dy)) > 200 for dx in range(12, 40)
                                    for dy in range(-5, 6)), NAMES[i])

            before = len(v.stdout())
            panel = lambda img: sum(min(img.pixel(x, y)) > 200 for y in range(440, 507) for x in range(0, 250, 2))
            self.assertEqual(panel(v.screenshot()), 0)
            self.measure(v, "Dihedral angle")
            # The results stay in the panel at the bottom left until the next pick.
            v.wait_until(lambda: panel(v.screenshot()) > 100, what="the results panel")
            lines = v.stdout()[before:].splitlines()
            self.assertEqual([l.split("=")[0] for l in lines],
                             ["Distance (C1-N2)", "Angle (C1-N2-O3)", "Centroid (C1,N2,O3)",
                              "Out-of-plane angle (C1-N2-O3-C4)", "Dihedral angle (C1-N2-O3-C4)"])
            got = [float(x) for l in lines for x in re.findall(r"-?\d+\.\d+", l.split("=", 1)[1])]
            self.assertEqual(len(got), 7, lines)
            for g, (want, places) in zip(got, MEASURED):
                self.assertAlmostEqual(g, want, places=places)
            self.assertRegex(lines[2], r"^Centroid \(C1,N2,O3\)=\(-?\d+\.\d{6},-?\d+\.\d{6},-?\d+\.\d{6}\)$")

            # The selection is gone: normal colours again.
            self.highlighted(v, 0, GREY)

            # One atom: a right click prints nothing, and the next pick starts over.
            self.pick(v, 2)
            v.wait_until(lambda: panel(v.screenshot()) == 0, what="the panel cleared")
            before = len(v.stdout())
            v.click(5, 5, button=3)
            self.pick(v, 0)
            self.pick(v, 0)  # the same atom twice
            self.pick(v, 1)
            self.measure(v, "Centroid (C1,C1,N2)")
            lines = v.stdout()[before:].splitlines()
            self.assertEqual(lines[3], "Distance (C1-C1)=0.000000")
            self.assertTrue(lines[4].startswith("Angle (C1-C1-N2)="))  # vertex on an end: not a number
            self.assertNotIn("O3", "".join(lines[3:]))
            self.assertNotIn("Out-of-plane", v.stdout()[before:])

            # A selection survives style changes and loads.
            self.pick(v, 0)
            self.pick(v, 2)
            v.key("Up", "Down", "Left", "Right")
            self.assertTrue(v.drop([BENZENE]))
            v.wait_until(lambda: v.stdout().count("New molecule: ") == 3, what="second load")
            self.measure(v, "Distance (C1-O3)=")
            self.assertIn("Distance (C1-O3)=3.627671\n", v.stdout())

    def test_a_press_that_moves_is_a_gesture_not_a_pick_or_a_measurement(self):
        with Viewer([self.path]) as v:
            self.start(v)
            # A left drag from H5 turns the view and back: it picks nothing.
            w, (x, y) = v.window(), self.at[4]
            v.xdotool("mousemove", "--window", w, x, y, "mousedown", 1)
            for dx in (10, 30, 10, 0):
                v.xdotool("mousemove", "--window", w, x + dx, y)
            v.xdotool("mouseup", 1)
            self.pick(v, 0)
            self.pick(v, 1)
            # A right drag zooms; it neither measures nor clears the selection, and a right click does both.
            v.drag(3, (5, 5), (5, 60))
            v.drag(3, (5, 60), (5, 5))
            self.measure(v, "Distance (C1-N2)=")
            self.assertEqual((v.stdout().count("Atom = "), v.stdout().count("Distance")), (2, 1), v.stdout())

    def test_other_styles_and_the_bond_key_between_two_picked_atoms(self):
        mid = self.view.pixel(-1.0, -1.5, 0.3)           # halfway C1-N2
        quarter = self.view.pixel(-1.5, -1.5, 0.15)      # C1's half
        three_quarters = self.view.pixel(-0.5, -1.5, 0.45)
        with Viewer([self.path]) as v:
            self.start(v)
            # Wireframe: a lone atom is a small cross; a click near its centre picks it.
            x, y = self.at[1]
            v.key("Down")
            v.wait_until(lambda: v.screenshot().pixel(x + 6, y + 6) == BACKGROUND, what="wireframe")
            v.click(x + 3, y - 2)
            v.wait_for_log("Atom = (N2)")
            n = v.stdout().count("Atom = ")
            v.click(x + 14, y)
            # Sticks: a lone atom is a ball of the stick radius (0.1 A, ~7 pixels).
            v.key("Up", "Up")
            v.click(x, y + 3)
            v.wait_until(lambda: v.stdout().count("Atom = ") == n + 1, what="pick in sticks")
            self.assertTrue(v.stdout().endswith("Atom = (N2) (0.000000,-1.500000,0.600000).\n"))
            self.measure(v, "Distance (N2-N2)=0.000000")

            v.key("Down")  # ball-and-stick again
            self.start(v)
            self.assertEqual(v.screenshot().pixel(*mid), BACKGROUND)
            # One or three selected atoms: B does nothing.
            self.pick(v, 0)
            v.key("b", "Up", "Down")
            self.pick(v, 1)
            self.pick(v, 2)
            v.key("b", "Up", "Down")
            self.highlighted(v, 2)
            self.assertEqual(v.screenshot().pixel(*mid), BACKGROUND)
            v.click(5, 5, button=3)

            self.pick(v, 0)
            self.pick(v, 1)
            v.key("b")
            v.wait_until(lambda: v.screenshot().pixel(*mid) != BACKGROUND, what="the new bond")
            # A click on the bond picks nothing.
            n = v.stdout().count("Atom = ")
            v.click(*mid)
            # Cleared selection: the bond halves take their atoms' colours.
            v.click(5, 5, button=3)
            v.wait_until(lambda: near(v.screenshot().pixel(*quarter), GREY, 40), what="grey half")
            img = v.screenshot()
            r, g, b = img.pixel(*three_quarters)
            self.assertTrue(b > r + 60 and b > g + 60, (r, g, b))  # nitrogen blue
            self.assertEqual(v.stdout().count("Atom = "), n)

            # Picked again in the other order, B takes the bond away.
            self.pick(v, 1)
            self.pick(v, 0)
            v.key("b")
            v.wait_until(lambda: v.screenshot().pixel(*mid) == BACKGROUND, what="bond removed")
            v.key("b")
            v.wait_until(lambda: v.screenshot().pixel(*mid) != BACKGROUND, what="bond back")

if __name__ == "__main__":
    unittest.main(verbosity=2)
