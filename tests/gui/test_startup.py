"""Start-up of the real viewer: command line, refusals, the window, the
overlay, file drops and closing."""

import os
import re
import unittest

from harness import BENZENE, ScratchTest, Viewer, run

VERSION = os.environ.get("ORBISK_VERSION_TEXT") or "1.0-89-gb21b447"
BAD_WFN = """ broken wave function
GAUSSIAN              5 MOL ORBITALS     21 PRIMITIVES        3 NUCLEI
  O    1    (CENTRE  1)
CENTRE ASSIGNMENTS    1
"""
NONE_FOUND = "No molecules could be found!\n"

def overlay(v, centre):
    """The box around the first overlay line, once it shows in white at the top (5 pixels down) around
    x = centre, with the line naming the file that gave nothing below it."""
    box = []
    v.wait_until(lambda: box.append(v.screenshot().bounding_box(threshold=200, y1=21)) or (
        box[-1] and box[-1][2] - box[-1][0] > 150 and centre - 150 < box[-1][0] and box[-1][2] < centre + 150 and
        4 < box[-1][1]) and v.screenshot().bounding_box(threshold=200, y0=21, y1=40), what="the overlay lines")
    return box[-1]

class StartUp(ScratchTest):

    def setUp(self):  # files of no known type and a malformed WFN
        super().setUp()
        self.unknown = self.write("notes.txt", "just some words\nand more words\n")
        self.unknown2 = self.write("other notes.txt", "nothing to see\n")
        self.bad_wfn = self.write("broken.wfn", BAD_WFN)

    def test_refusals_and_answers_without_a_window(self):
        # Everything decided before a window exists; none of it needs a display.
        u, d = self.unknown, self.dir
        missing = os.path.join(d, "no such file.xyz")
        size = "width and height must be between 1 and 16384 pixels"
        exactly = lambda text: re.compile("^" + re.escape(text) + r"\Z")
        # (arguments, status, [(stream, text it holds or pattern it matches)])
        cases = [([], 1, [("err", "PARSE ERROR"), ("err", "Required argument missing: filename")]),
                 (["--version"], 0, [("out", VERSION)]),
                 (["-platform", "offscreen", "--version"], 0, [("out", VERSION)]),  # Qt's own options pass
                 (["--help"], 0, [("out", t) for t in ("--width <pixels>", "--height <pixels>", "-f,  --fullscr",
                                                       "--logvl", "--export <xyz|sdf|modes|table|cjson|cube>")]),
                 (["-h"], 0, [("out", "USAGE")])]
        cases += [(args, 1, [("err", "PARSE ERROR")]) for args in (
            ["--width", "abc", u], ["--height"], ["--bogus", u], [u, "extra"], ["--export", "pdb", u])]
        cases += [(["--background", "#12345", u], 1, [("err", exactly(
            "Invalid background colour '#12345': use a colour name such as white, or #rrggbb\n"))])]
        # Sizes beyond what a framebuffer can be (an X window stops at 32767).
        cases += [(args + [u], 1, [("err", size)]) for args in (
            ["--width", "0"], ["--height", "-5"], ["--width", "-1", "--height", "0"], ["--width", "40000"],
            ["--height", "16385"])]
        cases += [([missing], 1, [("err", exactly("Cannot open file '%s'\n" % missing)), ("out", exactly(""))]),
                  ([d], 1, [("err", re.compile(r"^Cannot open file '%s'.*directory.*\n$" % re.escape(d)))]),
                  ([u], 1, [("err", re.compile(r"^[^\n]*cannot open the viewer window[^\n]*\n$"))]),  # no display
                  # The export path needs no display; a file of no known type exports nothing and fails.
                  (["--export", "xyz", u], 1, [("out", exactly("")), ("err", "File type = 0 \n")]),
                  (["--export", "sdf", d], 1, [("err", "directory")]),
                  ([self.bad_wfn], 1, [("err", "cannot open the viewer window")])]  # refused before the load
        for args, status, expected in cases:
            rc, out, err = run(args)
            self.assertEqual(rc, status, (args, err))
            for stream, want in expected:
                got = out if stream == "out" else err
                self.assertTrue(want in got if isinstance(want, str) else want.search(got), (args, want, got))
        self.assertNotIn("display", run([])[2])  # refused before any attempt at a window
        self.assertEqual(run(["relative/missing.log"], cwd=d)[2], "Cannot open file 'relative/missing.log'\n")
        rc, _, err = run([u], display=":987")
        self.assertEqual((rc, len(err.splitlines())), (1, 1), err)
        self.assertIn("cannot open the viewer window", err)

    def test_a_reader_error_or_no_usable_opengl_at_start_up_fails(self):
        with Viewer([self.bad_wfn]) as v:
            self.assertEqual(v.wait_exit(), 1, v.stderr())
            self.assertRegex(v.stderr(), r"(?m)^ERROR: .+$")
            self.assertIn("File type = 8 \n", v.stdout())
        # Mesa can be told to offer less than the 3.3 core profile the viewer draws with.
        with Viewer([self.unknown], env={"MESA_GL_VERSION_OVERRIDE": "3.0"}) as v:
            self.assertEqual(v.wait_exit(), 1)
            self.assertIn("orbisk: cannot open the viewer window: OpenGL 3.3 is needed, the driver offers 3.0\n",
                          v.stderr())
            self.assertNotIn("File type", v.stdout())
        # A Qt platform without OpenGL windows.
        rc, out, err = run(["-platform", "offscreen", self.unknown], timeout=30)
        self.assertEqual(rc, 1)
        self.assertIn("orbisk: cannot open the viewer window: no OpenGL context", err)

    def test_window_overlay_log_drops_and_close(self):
        with Viewer(["--width", "800", "--height", "600", self.unknown]) as v:
            v.wait_for_log(NONE_FOUND)
            self.assertEqual(v.geometry(), (0, 0, 800, 600))
            self.assertEqual(v.name(), self.unknown + " - ORBISK")
            out = v.stdout()
            self.assertEqual(out.count("Warning! The environment variable ORBISK_ROOT_DIR is not defined!\n"), 1)
            # The warning comes when the context is up, before the load.
            self.assertLess(out.index("Warning!"), out.index("File type = 0 \n"))
            self.assertEqual(out.count("File type = 0 \n"), 1)
            self.assertNotIn("New molecule: ", out)
            self.assertNotIn("OpenGL", out)  # only with --logvl

            # "Drop a file inside the window." in white at the top centre, on black, and why below it.
            overlay(v, 400)
            img = v.screenshot()
            self.assertEqual((img.width, img.height, img.bounding_box(threshold=10, y0=40)), (800, 600, None))

            # Several files dropped: the first is loaded, the others are ignored.
            self.assertTrue(v.drop([self.unknown2, BENZENE, self.unknown]))
            v.wait_until(lambda: v.stdout().count(NONE_FOUND) == 2, what="second load")
            self.assertEqual(v.stdout().count("File type = "), 2)
            self.assertNotIn("File type = 9", v.stdout())
            self.assertTrue(v.drop([self.bad_wfn]))  # reported, and the viewer goes on
            v.wait_for_log("ERROR: ")
            self.assertRegex(v.stdout(), r"(?m)^ERROR: \S.*$")
            self.assertIn("File type = 8 \n", v.stdout())
            self.assertTrue(v.drop([self.unknown2]))
            v.wait_until(lambda: v.stdout().count(NONE_FOUND) == 3, what="load after error")
            self.assertEqual(v.name(), self.unknown + " - ORBISK")  # the title of the start-up file
            self.assertEqual(v.close(), 0)
        # Leaving the block checked that no input, the broken WFN included, was changed.

    def test_root_dirs_good_wrong_and_overlong_all_find_the_font(self):
        # The build tree holds data/font/...; otherwise the bare name is found in the data directory.
        for root in (os.path.dirname(os.environ["ORBISK_BIN"]), "/no/such/root", "/" + "r" * 300):
            with Viewer([self.unknown], env={"ORBISK_ROOT_DIR": root}) as v:
                v.wait_for_log(NONE_FOUND)
                overlay(v, 256)
                self.assertNotIn("ORBISK_ROOT_DIR", v.stdout())
                self.assertNotIn("Font", v.stdout())

    def test_full_screen_logvl_and_the_title_as_typed(self):
        with Viewer(["-f", "--width", "300", "--logvl", "./notes.txt"], cwd=self.dir, screen=(1024, 768)) as v:
            v.wait_for_log(NONE_FOUND)
            self.assertEqual(v.name(), "./notes.txt - ORBISK")
            for key in ("OpenGL vendor: ", "OpenGL renderer: ", "OpenGL version: "):
                self.assertRegex(v.stdout(), "(?m)^" + key + r"\S")
            version = re.search(r"(?m)^OpenGL version: (\d+)\.(\d+)", v.stdout())
            self.assertGreaterEqual((int(version.group(1)), int(version.group(2))), (3, 3))
            v.wait_until(lambda: v.geometry() == (0, 0, 1024, 768), what="full-screen geometry")
            # The overlay follows to the middle of the whole screen.
            overlay(v, 512)

if __name__ == "__main__":
    unittest.main(verbosity=2)
