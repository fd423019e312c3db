"""The camera in the real window: every load fits the structure into view,
and the mouse turns, pans and zooms it."""

import unittest

from harness import BENZENE, Viewer

OVERLAY_BAND = 30  # rows kept for the overlay line


def drawn_box(v):
    """(x0, y0, x1, y1) of what is drawn below the overlay, once the picture is still."""
    v.wait_for_picture(lambda img: img.bounding_box(y0=OVERLAY_BAND) is not None, what="a structure")
    return v.settled().bounding_box(y0=OVERLAY_BAND)


def centre(box):
    return (box[0] + box[2]) / 2, (box[1] + box[3]) / 2


def size(box):
    return box[2] - box[0], box[3] - box[1]


class View(unittest.TestCase):

    def open(self, *args):
        v = Viewer(list(args) + [BENZENE])
        self.addCleanup(v.stop)
        v.start().wait_for_log("New molecule: ")
        return v

    def test_a_load_fits_the_structure_into_the_window(self):
        for w, h in ((512, 512), (800, 300), (300, 600)):
            v = self.open("--width", str(w), "--height", str(h))
            box = drawn_box(v)
            cx, cy = centre(box)
            self.assertAlmostEqual(cx, w / 2, delta=6)
            self.assertAlmostEqual(cy, h / 2, delta=6)
            # The bounding sphere touches the narrower side: the ring spans a
            # good part of it without being cut off.
            bw, bh = size(box)
            self.assertGreater(max(bw / w, bh / h), 0.4, (w, h, box))
            self.assertTrue(box[0] > 0 and box[2] < w and box[3] < h, (w, h, box))
            v.stop()

    def test_mouse_turns_pans_and_zooms_and_a_drop_refits(self):
        v = self.open()
        box0 = drawn_box(v)

        # Middle drag: the structure follows the mouse.
        v.drag(2, (250, 250), (310, 290))
        box = drawn_box(v)
        self.assertAlmostEqual(centre(box)[0] - centre(box0)[0], 60, delta=3)
        self.assertAlmostEqual(centre(box)[1] - centre(box0)[1], 40, delta=3)

        # Right drag down and the wheel forward come closer; the wheel back goes away.
        v.drag(3, (250, 200), (250, 260))
        bigger = size(drawn_box(v))
        self.assertGreater(bigger[0], size(box)[0] * 1.1)
        v.click(250, 250, button=5)
        smaller = size(drawn_box(v))
        self.assertLess(smaller[0], bigger[0])
        v.click(250, 250, button=4)
        self.assertGreater(size(drawn_box(v))[0], smaller[0])

        # Dropping a file brings the whole structure back into view, centred.
        self.assertTrue(v.drop([BENZENE]))
        v.wait_until(lambda: v.stdout().count("File type = 9 \n") == 2, what="second load")
        self.assertEqual(drawn_box(v), box0)

        # Left drag sideways turns the ring about the vertical axis through its
        # centre: narrower, same height; dragging back undoes it.
        v.drag(1, (200, 256), (300, 256))
        box = drawn_box(v)
        self.assertLess(size(box)[0], size(box0)[0] - 10)
        self.assertAlmostEqual(size(box)[1], size(box0)[1], delta=6)
        v.drag(1, (300, 256), (200, 256))
        for a, b in zip(drawn_box(v), box0):
            self.assertAlmostEqual(a, b, delta=2)
        self.assertEqual(v.close(), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
