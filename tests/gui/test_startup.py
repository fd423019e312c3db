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


def is_white(p):
    return min(p) >= 200


class Files(ScratchTest):
    """Files of no known type and a malformed WFN."""

    def setUp(self):
        super().setUp()
        self.unknown = self.write("notes.txt", "just some words\nand more words\n")
        self.unknown2 = self.write("other notes.txt", "nothing to see\n")
        self.bad_wfn = self.write("broken.wfn", BAD_WFN)


class CommandLine(Files):
    """Everything decided before a window exists; none of it needs a display."""

    def test_refusals_and_answers_without_a_window(self):
        u, d = self.unknown, self.dir
        missing = os.path.join(d, "no such file.xyz")
        size = "width and height must be between 1 and 16384 pixels"
        # (arguments, status, [(stream, text or compiled pattern)]); "err=" compares all of stderr
        cases = [([], 1, [("err", "PARSE ERROR"), ("err", "Required argument missing: filename")]),
                 (["--version"], 0, [("out", VERSION)]),
                 (["-platform", "offscreen", "--version"], 0, [("out", VERSION)]),  # Qt's own options pass
                 (["--help"], 0, [("out", t) for t in ("--width <pixels>", "--height <pixels>", "-f,  --fullscr",
                                                       "--logvl", "--export <xyz|sdf>")]),
                 (["-h"], 0, [("out", "USAGE")]),
                 (["--width", "abc", u], 1, [("err", "PARSE ERROR")]), (["--height"], 1, [("err", "PARSE ERROR")]),
                 (["--bogus", u], 1, [("err", "PARSE ERROR")]), ([u, "extra"], 1, [("err", "PARSE ERROR")]),
                 (["--export", "pdb", u], 1, [("err", "PARSE ERROR")]),
                 # Sizes beyond what a framebuffer can be (an X window stops at 32767).
                 (["--width", "0", u], 1, [("err", size)]), (["--height", "-5", u], 1, [("err", size)]),
                 (["--width", "-1", "--height", "0", u], 1, [("err", size)]),
                 (["--width", "40000", u], 1, [("err", size)]), (["--height", "16385", u], 1, [("err", size)]),
                 ([missing], 1, [("err=", "Cannot open file '%s'\n" % missing), ("out=", "")]),
                 ([d], 1, [("err", re.compile(r"^Cannot open file '%s'.*directory.*\n$" % re.escape(d)))]),
                 ([u], 1, [("err", re.compile(r"^[^\n]*cannot open the viewer window[^\n]*\n$"))]),  # no display
                 # The export path needs no display; a file of no known type exports nothing and fails.
                 (["--export", "xyz", u], 1, [("out=", ""), ("err", "File type = 0 \n")]),
                 (["--export", "sdf", d], 1, [("err", "directory")]),
                 ([self.bad_wfn], 1, [("err", "cannot open the viewer window")])]  # refused before the load
        for args, status, expected in cases:
            rc, out, err = run(args)
            self.assertEqual(rc, status, (args, err))
            for stream, want in expected:
                got = {"out": out, "err": err}[stream.rstrip("=")]
                if stream.endswith("="):
                    self.assertEqual(got, want, args)
                elif isinstance(want, str):
                    self.assertIn(want, got, args)
                else:
                    self.assertRegex(got, want, args)
        self.assertNotIn("display", run([])[2])  # refused before any attempt at a window
        self.assertEqual(run(["relative/missing.log"], cwd=d)[2], "Cannot open file 'relative/missing.log'\n")
        rc, _, err = run([u], display=":987")
        self.assertEqual((rc, len(err.splitlines())), (1, 1), err)
        self.assertIn("cannot open the viewer window", err)

    def test_reader_exception_at_start_up_fails(self):
        with Viewer([self.bad_wfn]) as v:
            self.assertEqual(v.wait_exit(), 1, v.stderr())
            self.assertRegex(v.stderr(), r"(?m)^ERROR: .+$")
            self.assertIn("File type = 8 \n", v.stdout())


class Window(Files):

    def test_window_overlay_log_and_close(self):
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

            # "Drop a file inside the window." in white at the top centre, on black.
            img = v.wait_for_picture(lambda img: img.count(is_white, 250, 0, 550, 25) > 60, what="overlay")
            self.assertEqual((img.width, img.height), (800, 600))
            self.assertEqual(img.count(is_white, 0, 0, 250, 25), 0)  # centred: the flanks are empty
            self.assertEqual(img.count(is_white, 550, 0, 800, 25), 0)
            self.assertEqual(img.count(is_white, 250, 0, 550, 4), 0)  # 5 pixels down from the top
            self.assertEqual(img.count(lambda p: max(p) > 10, 0, 30, 800, 600), 0)
            self.assertEqual(v.close(), 0)

    def test_root_dirs_good_wrong_and_overlong_all_find_the_font(self):
        # The build tree holds data/font/...; otherwise the bare name is found in the data directory.
        for root in (os.path.dirname(os.environ["ORBISK_BIN"]), "/no/such/root", "/" + "r" * 300):
            with Viewer([self.unknown], env={"ORBISK_ROOT_DIR": root}) as v:
                v.wait_for_log(NONE_FOUND)
                self.assertEqual(v.geometry(), (0, 0, 512, 512))
                v.wait_for_picture(lambda img: img.count(is_white, 156, 0, 356, 25) > 60, what="overlay")
                self.assertNotIn("ORBISK_ROOT_DIR", v.stdout())
                self.assertNotIn("Font", v.stdout())
                v.key("Escape")
                self.assertEqual(v.wait_exit(), 0)

    def test_no_usable_opengl_is_refused_not_left_running(self):
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

    def test_full_screen(self):
        with Viewer(["-f", "--width", "300", self.unknown], screen=(1024, 768)) as v:
            v.wait_for_log(NONE_FOUND)
            v.wait_until(lambda: v.geometry() == (0, 0, 1024, 768), what="full-screen geometry")
            # The overlay follows to the middle of the whole screen.
            v.wait_for_picture(lambda img: img.count(is_white, 362, 0, 662, 25) > 60, what="overlay centred")

    def test_logvl_and_the_title_as_typed(self):
        with Viewer(["--logvl", "./" + os.path.basename(self.unknown)], cwd=self.dir) as v:
            v.wait_for_log(NONE_FOUND)
            self.assertEqual(v.name(), "./notes.txt - ORBISK")
            out = v.stdout()
            for key in ("OpenGL vendor: ", "OpenGL renderer: ", "OpenGL version: "):
                self.assertRegex(out, "(?m)^" + key + r"\S")
            version = re.search(r"(?m)^OpenGL version: (\d+)\.(\d+)", out)
            self.assertGreaterEqual((int(version.group(1)), int(version.group(2))), (3, 3))


class Drops(Files):

    def test_several_files_load_the_first_only_and_a_bad_one_is_reported(self):
        with Viewer([self.unknown]) as v:
            v.wait_for_log(NONE_FOUND)
            self.assertTrue(v.drop([self.unknown2, BENZENE, self.unknown]))
            v.wait_until(lambda: v.stdout().count(NONE_FOUND) == 2, what="second load")
            self.assertEqual(v.stdout().count("File type = "), 2)
            self.assertNotIn("File type = 9", v.stdout())
            self.assertTrue(v.drop([self.bad_wfn]))
            v.wait_for_log("ERROR: ")
            self.assertRegex(v.stdout(), r"(?m)^ERROR: \S.*$")
            self.assertIn("File type = 8 \n", v.stdout())
            self.assertTrue(v.drop([self.unknown2]))
            v.wait_until(lambda: v.stdout().count(NONE_FOUND) == 3, what="load after error")
            # The title stays that of the start-up file.
            self.assertEqual(v.name(), self.unknown + " - ORBISK")
            self.assertEqual(v.close(), 0)
        # Leaving the block checked that no input, the broken WFN included, was changed.


if __name__ == "__main__":
    unittest.main(verbosity=2)
