"""The camera in the real window: every load fits the structure into view; the mouse turns, pans, zooms."""

import os
import unittest

from harness import BENZENE, TEST_DATA, ScratchTest, Viewer, read_xyz, write_xyz

def drawn_box(v):
    """(x0, y0, x1, y1, width, height, centre x, centre y) of what is drawn between the overlay line and
    the status line, once the picture is still."""
    box = lambda img: img.bounding_box(y0=45, y1=img.height - 22)
    v.wait_until(lambda: box(v.screenshot()) is not None, what="a structure")
    x0, y0, x1, y1 = box(v.settled())
    return x0, y0, x1, y1, x1 - x0, y1 - y0, (x0 + x1) / 2, (y0 + y1) / 2

class View(ScratchTest):

    def open(self, *args, path=BENZENE):
        v = Viewer(list(args) + [path])
        self.addCleanup(v.stop)
        v.start().wait_for_log("New molecule: ")
        return v

    def test_a_load_fits_the_structure_into_the_window(self):
        for w, h in ((512, 512), (800, 300), (300, 600)):
            v = self.open("--width", str(w), "--height", str(h))
            box = drawn_box(v)
            # The overlay line wraps in a narrow window instead of running off both sides.
            top = v.screenshot().bounding_box(threshold=200, y1=21)
            self.assertTrue(top and top[0] > 0 and top[2] < w, (w, top))
            self.assertAlmostEqual(box[6], w / 2, delta=6)
            self.assertAlmostEqual(box[7], h / 2, delta=6)
            # The bounding sphere touches the narrower side: the ring spans a
            # good part of it without being cut off.
            self.assertGreater(max(box[4] / w, box[5] / h), 0.4, (w, h, box))
            self.assertTrue(box[0] > 0 and box[2] < w and box[3] < h, (w, h, box))

    def test_mouse_turns_pans_and_zooms_and_a_drop_refits(self):
        v = self.open()
        box0 = drawn_box(v)
        # Middle drag: the structure follows the mouse.
        v.drag(2, (250, 250), (310, 290))
        box = drawn_box(v)
        self.assertAlmostEqual(box[6] - box0[6], 60, delta=3)
        self.assertAlmostEqual(box[7] - box0[7], 40, delta=3)

        # Right drag down and the wheel forward come closer; the wheel back goes away.
        v.drag(3, (250, 200), (250, 260))
        bigger = drawn_box(v)[4]
        self.assertGreater(bigger, box[4] * 1.1)
        v.click(250, 250, button=5)
        smaller = drawn_box(v)[4]
        self.assertLess(smaller, bigger)
        v.click(250, 250, button=4)
        self.assertGreater(drawn_box(v)[4], smaller)

        # Dropping a file brings the whole structure back into view, centred.
        self.assertTrue(v.drop([BENZENE]))
        v.wait_until(lambda: v.stdout().count("File type = 9 \n") == 2, what="second load")
        self.assertEqual(drawn_box(v), box0)

        # Left drag sideways turns the ring about the vertical axis through its
        # centre: narrower, same height; dragging back undoes it.
        v.drag(1, (200, 256), (300, 256))
        box = drawn_box(v)
        self.assertLess(box[4], box0[4] - 10)
        self.assertAlmostEqual(box[5], box0[5], delta=6)
        v.drag(1, (300, 256), (200, 256))
        for a, b in zip(drawn_box(v), box0):
            self.assertAlmostEqual(a, b, delta=2)
        # R: back to the view of the load, exactly.
        v.drag(1, (200, 200), (260, 300))
        v.click(250, 250, button=4)
        v.key("r")
        self.assertEqual(drawn_box(v), box0)
        self.assertEqual(v.close(), 0)

    def test_o_turns_a_planar_molecule_face_on_and_r_back(self):
        path = os.path.join(self.dir, "xz.xyz")  # the ring in the xz plane: edge-on in the view of the load
        write_xyz(path, [(s, x, 0.0, y) for s, x, y, _ in read_xyz(BENZENE)])
        v = self.open(path=path)
        box0 = drawn_box(v)
        self.assertLess(box0[5], box0[4] / 3)
        v.key("o")
        face_on = lambda box: min(box[4], box[5]) >= max(box[4], box[5]) / 3
        v.wait_until(lambda: face_on(drawn_box(v)), what="the ring face-on")
        v.key("r")
        self.assertEqual(drawn_box(v), box0)

    def test_background_at_start_up_with_a_readable_overlay(self):
        v = self.open("--background", "white")
        dark_text_on_white = lambda img: img.pixel(5, 500) == (255, 255, 255) and any(
            max(img.pixel(x, y)) < 100 for y in range(4, 21) for x in range(0, 512, 2))
        v.wait_until(lambda: dark_text_on_white(v.screenshot()), what="dark overlay text on white")

    def test_a_style_with_larger_atoms_backs_the_camera_out_of_them(self):
        # Water and a lone helium atom in space-filling: the atoms in the middle, the background around them.
        for path in (os.path.join(TEST_DATA, "qc", "water_opt.c4"), self.write("he.xyz", "1\n\nHe 0 0 0\n")):
            v = self.open(path=path)
            drawn_box(v)
            v.key("Up", "Up")
            v.wait_until(lambda: v.screenshot().pixel(256, 500) == (0, 0, 0) != v.screenshot().pixel(256, 256),
                         what="space-filling %s in view" % os.path.basename(path))
            v.stop()

if __name__ == "__main__":
    unittest.main(verbosity=2)
