"""orbisk --render: a PNG of a structure with no display (DISPLAY unset), in every style; a refusal
prints one line and writes nothing."""

import os
import struct
import subprocess
import unittest

from harness import FittedView, ScratchTest, is_red, parse_ppm, run

CO2 = [("O", -1.16, 0.0, 0.0), ("C", 0.0, 0.0, 0.0), ("O", 1.16, 0.0, 0.0)]
# Two structures: a pair along x, then a rectangle in the yz plane (edge-on from +z, along y).
PAIR = [("C", -2.0, 0.0, 0.0), ("C", 2.0, 0.0, 0.0)]
PLANE = [("C", 0.0, y, z) for y in (-2.0, 2.0) for z in (-1.0, 1.0)]

def xyz(*structures):
    return "".join("%d\nframe\n" % len(s) + "".join("%s %f %f %f\n" % a for a in s) for s in structures)

def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", head
    return struct.unpack(">II", head[16:24])

def picture(path):
    return parse_ppm(subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True, check=True).stdout)

class Render(ScratchTest):

    def render(self, name, *args, source=None):
        out = os.path.join(self.dir, name)
        rc, _, err = run(["--render", out, *args, source or self.co2])
        self.assertEqual((rc, err), (0, ""), args)
        return out

    def setUp(self):
        super().setUp()
        self.co2 = self.write("co2.xyz", xyz(CO2))
        self.two = self.write("two.xyz", xyz(PAIR, PLANE))

    def test_styles_size_and_background(self):
        self.assertEqual(png_size(self.render("default.png")), (1600, 1200))
        view = FittedView(CO2, 160, 120)  # ball and stick: fitted as a load fits the window
        for style in ("wireframe", "ballstick", "sticks", "spacefill"):
            img = picture(self.render(style + ".png", "--size", "160x120", "--style", style))
            self.assertEqual((img.width, img.height), (160, 120))
            self.assertEqual(img.pixel(2, 2), (0, 0, 0), style)  # the window's black
            self.assertTrue(any(max(img.pixel(x, y)) > 60 for x in range(78, 83) for y in range(58, 63)), style)
            if style == "ballstick":
                for atom in (CO2[0], CO2[2]):
                    self.assertTrue(is_red(img.pixel(*view.pixel(*atom[1:]))), atom)
        img = picture(self.render("white.png", "--size", "40x30", "--background", "white"))
        self.assertEqual(img.pixel(1, 1), (255, 255, 255))

    def test_structure_and_orientation(self):
        def shape(*args):  # width / height of what is drawn
            x0, y0, x1, y1 = picture(self.render("s.png", "--size", "200x200", *args, source=self.two)).bounding_box()
            os.remove(os.path.join(self.dir, "s.png"))
            return (x1 - x0) / (y1 - y0)
        self.assertLess(shape(), 0.5)  # the last, edge-on
        self.assertGreater(shape("--structure", "1"), 2)
        self.assertGreater(shape("--structure", "-2"), 2)
        self.assertGreater(shape("--orient"), 1.3)  # face-on, its long side horizontal

    def test_a_mode_s_arrows_and_an_orbital_s_surfaces(self):
        data = os.environ["ORBISK_TEST_DATA"]
        orange = lambda p: p[0] > 200 and 90 < p[1] < 180 and p[2] < 60
        blue_or_red = lambda p: (p[2] > 150 and p[0] < 120) or (p[0] > 150 and p[1] < 110 and p[2] < 110)
        for args, source, shows in ((["--orient", "--mode", "3"], os.path.join(data, "qc", "water_freq.log"), orange),
                                    (["--orbital", "homo"], os.path.join(data, "orbitals", "he_sp_d.fchk"),
                                     blue_or_red)):
            img = picture(self.render(args[-2] + ".png", "--size", "320x240", *args, source=source))
            self.assertGreater(sum(shows(img.pixel(x, y)) for y in range(0, 240, 2) for x in range(0, 320, 2)), 20, args)

    def test_refusals_write_nothing(self):
        empty = self.write("words.txt", "no structures here\n")
        out = os.path.join(self.dir, "out.png")
        cases = [(["--mode", "1"], self.co2, "gives no normal modes"), (["--orbital", "homo"], self.co2, "orbitals"),
                 (["--size", "0x10"], self.co2, "Invalid size"), (["--size", "160"], self.co2, "Invalid size"),
                 (["--size", "20000x10"], self.co2, "Invalid size"), (["--style", "cartoon"], self.co2, "Invalid style"),
                 (["--structure", "0"], self.co2, "Invalid structure"), (["--structure", "3"], self.two, "out of range"),
                 ([], os.path.join(self.dir, "missing.xyz"), "Cannot open file"), ([], empty, "No structures found")]
        for args, source, message in cases:
            rc, _, err = run(["--render", out, *args, source])
            self.assertEqual((rc, len(err.splitlines())), (1, 1), (args, err))
            self.assertIn(message, err)
            self.assertEqual(sorted(os.listdir(self.dir)), ["co2.xyz", "two.xyz", "words.txt"], args)
        rc, _, err = run(["--render", os.path.join(self.dir, "no", "such", "dir.png"), self.co2])
        self.assertEqual((rc, err.count("\n")), (1, 1), err)
        rc, _, err = run(["--style", "sticks", self.co2])  # no window either
        self.assertEqual((rc, err), (1, "--size, --style, --structure and --orient go with --render\n"))
        help_text = run(["--help"])[1]
        for option in ("--render <OUT.png>", "--size <WxH>", "--style <style>", "--structure <K>", "--orient"):
            self.assertIn(option, help_text)

if __name__ == "__main__":
    unittest.main()
