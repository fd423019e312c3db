"""Energies in the window: the plot under the structure (E), a click on it, F5 and --follow."""

import unittest

from harness import ScratchTest, Viewer

HEADER = "Cartesian coordinates of atoms for the current structure:\n"

def frame(k, energy, tail=True):
    """A bent water, its H3 moved by k, with the energy in the comment line; without the tail, cut short."""
    text = "3\nE %.6f\nO 0 0 0\nH 0.96 0 0\n" % energy
    return text + ("H %.2f 0.9 0\n" % (-0.2 + 0.1 * k) if tail else "")

def band(img):
    """How many pixels of the bottom band show the plot's grey panel."""
    return sum(img.pixel(x, y) in ((25, 25, 25), (26, 26, 26)) for y in range(img.height - 130, img.height - 10, 3)
               for x in range(0, img.width, 3))

class Energies(ScratchTest):

    def current_h3(self, v):
        """The x coordinate of H3 in the current structure, as C prints it."""
        n = v.stdout().count(HEADER)
        v.key("c")
        v.wait_until(lambda: v.stdout().count(HEADER) == n + 1 and v.stdout().endswith(" 0.000000\n")
                     and "H3 " in v.stdout().rsplit(HEADER, 1)[1], what="the listing")
        return float(v.stdout().rsplit("H3 ", 1)[1].split()[0])

    def test_the_plot_shows_by_itself_chooses_a_structure_and_e_hides_it(self):
        path = self.write("scan.xyz", "".join(frame(k, -76.40 - 0.01 * k * (4 - k)) for k in range(5)))
        with Viewer([path]) as v:
            v.wait_for_log("New molecule: ")
            shown = v.settled()
            self.assertGreater(band(shown), 500)  # two or more energies: the plot is there
            self.assertAlmostEqual(self.current_h3(v), 0.2)  # the last structure
            # A click on the plot's first point, at the left end of its axis.
            x0 = next(x for x in range(shown.width) if shown.pixel(x, shown.height - 23) != shown.pixel(2, 500))
            v.click(x0 + 2, shown.height - 40)
            v.wait_until(lambda: abs(self.current_h3(v) + 0.2) < 1e-6, what="the first structure")
            v.key("e")
            v.wait_until(lambda: band(v.screenshot()) < 100, what="the plot hidden")

    def test_follow_takes_complete_structures_and_f5_reads_the_file_again(self):
        path = self.write("run.xyz", frame(0, -76.40) + frame(1, -76.41))
        with Viewer(["--follow", path]) as v:
            v.wait_for_log("New molecule: ")
            count = lambda: v.stdout().count("New molecule: ")
            self.assertEqual(count(), 2)
            with open(path, "a") as f:
                f.write(frame(2, -76.42) + frame(3, -76.43, tail=False))
            v.wait_until(lambda: count() == 3, what="the third structure")
            self.assertAlmostEqual(self.current_h3(v), 0.0)  # the newest became current
            with open(path, "a") as f:
                f.write("H 0.10 0.9 0\n")
            v.wait_until(lambda: count() == 4, what="the fourth structure, once complete")
            self.assertAlmostEqual(self.current_h3(v), 0.1)
            v.key("F5")
            v.wait_until(lambda: v.stdout().count("File type = 9") == 2 and count() == 8, what="the file read again")
            v.stop(check_inputs=False)  # the test wrote to it, not the viewer

if __name__ == "__main__":
    unittest.main(verbosity=2)
