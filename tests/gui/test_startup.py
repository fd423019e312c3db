"""Start-up of the real viewer: command line, refusals, the window, the
overlay, file drops and closing."""

import os
import re
import tempfile
import unittest

from harness import EXAMPLES, Viewer, run

BAD_WFN = """ broken wave function
GAUSSIAN              5 MOL ORBITALS     21 PRIMITIVES        3 NUCLEI
  O    1    (CENTRE  1)
CENTRE ASSIGNMENTS    1
"""


class Files:
    """A scratch directory with a file of no known type and a malformed WFN."""

    def setUp(self):
        self._dir = tempfile.TemporaryDirectory(prefix="orbisk-startup-")
        self.dir = self._dir.name
        self.unknown = self._write("notes.txt", "just some words\nand more words\n")
        self.unknown2 = self._write("other notes.txt", "nothing to see\n")
        self.bad_wfn = self._write("broken.wfn", BAD_WFN)

    def tearDown(self):
        self._dir.cleanup()

    def _write(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w") as f:
            f.write(text)
        return path


class CommandLine(Files, unittest.TestCase):
    """Everything decided before a window exists; none of it needs a display."""

    def test_missing_filename_is_a_parse_error(self):
        rc, out, err = run([])
        self.assertEqual(rc, 1)
        self.assertIn("PARSE ERROR", err)
        self.assertIn("Required argument missing: filename", err)
        self.assertNotIn("display", err)  # refused before any attempt at a window

    def test_help_and_version_work_without_display(self):
        rc, out, err = run(["--version"])
        self.assertEqual(rc, 0)
        self.assertIn("1.0-89-gb21b447", out)
        rc, out, err = run(["--help"])
        self.assertEqual(rc, 0)
        for text in ("--width <pixels>", "--height <pixels>", "-f,  --fullscr", "--logvl", "--export <xyz|sdf>",
                     "Window width", "Window height", "Fullscreen mode", "Log VL", "Name of input file",
                     "Displays usage information and exits.", "Displays version information and exits."):
            self.assertIn(text, out)
        rc, out, _ = run(["-h"])
        self.assertEqual(rc, 0)
        self.assertIn("USAGE", out)

    def test_qt_options_are_not_ours_to_refuse(self):
        # QApplication takes these itself; the parser must not call them unknown.
        rc, out, err = run(["-platform", "offscreen", "--version"])
        self.assertEqual(rc, 0, err)
        self.assertIn("1.0-89-gb21b447", out)

    def test_bad_values_are_parse_errors(self):
        for args in (["--width", "abc", self.unknown], ["--height"], ["--bogus", self.unknown],
                     [self.unknown, "extra"], ["--export", "pdb", self.unknown]):
            rc, out, err = run(args)
            self.assertEqual(rc, 1, args)
            self.assertIn("PARSE ERROR", err, args)

    def test_window_sizes_out_of_range_are_refused(self):
        # and above what a framebuffer can be (an X window stops at 32767).
        for args in (["--width", "0"], ["--height", "-5"], ["--width", "-1", "--height", "0"],
                     ["--width", "40000"], ["--height", "16385"]):
            rc, out, err = run(args + [self.unknown])
            self.assertEqual(rc, 1, args)
            self.assertIn("width and height must be between 1 and 16384 pixels", err, args)

    def test_missing_file(self):
        name = os.path.join(self.dir, "no such file.xyz")
        rc, out, err = run([name])
        self.assertEqual((rc, out, err), (1, "", "Cannot open file '%s'\n" % name))
        rc, out, err = run(["relative/missing.log"], cwd=self.dir)
        self.assertEqual(err, "Cannot open file 'relative/missing.log'\n")

    def test_directory_is_not_a_file(self):
        rc, out, err = run([self.dir])
        self.assertEqual(rc, 1)
        self.assertIn("Cannot open file '%s'" % self.dir, err)
        self.assertIn("directory", err)
        self.assertEqual(len(err.splitlines()), 1)

    def test_no_display_gives_one_line(self):
        for display in (None, ":987"):
            rc, out, err = run([self.unknown], display=display)
            self.assertEqual(rc, 1, display)
            self.assertEqual(len(err.splitlines()), 1, err)
            self.assertIn("cannot open the viewer window", err)

    def test_export_needs_no_display(self):
        # The export path loads and writes without the toolkit; a file of no
        # known type exports nothing and fails.
        rc, out, err = run(["--export", "xyz", self.unknown])
        self.assertEqual(rc, 1)
        self.assertEqual(out, "")
        self.assertIn("File type = 0 \n", err)
        rc, out, err = run(["--export", "sdf", self.dir])
        self.assertEqual(rc, 1)
        self.assertIn("directory", err)

    def test_reader_exception_at_start_up_fails(self):
        rc, out, err = run([self.bad_wfn], display=None)
        self.assertEqual(rc, 1)  # no display: refused before the load
        with Viewer([self.bad_wfn]) as v:
            rc = v.wait_exit()
            self.assertEqual(rc, 1, v.stderr())
            self.assertRegex(v.stderr(), r"(?m)^ERROR: .+$")
            self.assertIn("File type = 8 \n", v.stdout())


def is_white(p):
    return min(p) >= 200


def is_black(p):
    return max(p) <= 10


class Window(Files, unittest.TestCase):

    def test_window_overlay_log_and_close(self):
        with Viewer(["--width", "800", "--height", "600", self.unknown]) as v:
            v.wait_for_log("No molecules could be found!\n")
            self.assertEqual(v.geometry(), (0, 0, 800, 600))
            self.assertEqual(v.name(), self.unknown + " - ORBISK")
            out = v.stdout()
            self.assertEqual(out.count("Warning! The environment variable ORBISK_ROOT_DIR is not defined!\n"), 1)
            # The warning comes when the context is up, before the load.
            self.assertLess(out.index("Warning!"), out.index("File type = 0 \n"))
            self.assertEqual(out.count("File type = 0 \n"), 1)
            self.assertNotIn("New molecule: ", out)

            # "Drop a file inside the window." in white at the top centre, on black.
            img = v.wait_for_picture(lambda img: img.count(is_white, 250, 0, 550, 25) > 60, what="overlay")
            self.assertEqual((img.width, img.height), (800, 600))
            self.assertEqual(img.count(is_white, 0, 0, 250, 25), 0)  # centred: the flanks are empty
            self.assertEqual(img.count(is_white, 550, 0, 800, 25), 0)
            self.assertEqual(img.count(is_white, 250, 0, 550, 4), 0)  # 5 pixels down from the top
            self.assertEqual(img.count(lambda p: not is_black(p), 0, 30, 800, 600), 0)
            self.assertEqual(v.close(), 0)

    def test_root_dir_and_escape(self):
        # The build tree holds data/font/..., as the root should.
        with Viewer([self.unknown], env={"ORBISK_ROOT_DIR": os.path.dirname(os.environ["ORBISK_BIN"])}) as v:
            v.wait_for_log("No molecules could be found!\n")
            self.assertEqual(v.geometry(), (0, 0, 512, 512))
            self.assertNotIn("ORBISK_ROOT_DIR", v.stdout())
            self.assertNotIn("Font", v.stdout())  # found under the root
            v.wait_for_picture(lambda img: img.count(is_white, 156, 0, 356, 25) > 60, what="overlay")
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
            v.wait_for_log("No molecules could be found!\n")
            v.wait_until(lambda: v.geometry() == (0, 0, 1024, 768), what="full-screen geometry")
            # The overlay follows to the middle of the whole screen.
            v.wait_for_picture(lambda img: img.count(is_white, 362, 0, 662, 25) > 60, what="overlay centred")

    def test_wrong_or_overlong_root_dir_still_finds_the_font(self):
        for root in ("/no/such/root", "/" + "r" * 300):
            with Viewer([self.unknown], env={"ORBISK_ROOT_DIR": root}) as v:
                v.wait_for_log("No molecules could be found!\n")
                v.wait_for_picture(lambda img: img.count(is_white, 156, 0, 356, 25) > 60, what="overlay")
                self.assertNotIn("Warning!", v.stdout())
                self.assertNotIn("Font", v.stdout())  # the bare name, found in the data directory

    def test_title_keeps_the_name_as_typed(self):
        with Viewer(["./" + os.path.basename(self.unknown)], cwd=self.dir) as v:
            v.wait_for_log("No molecules could be found!\n")
            self.assertEqual(v.name(), "./notes.txt - ORBISK")

    def test_logvl_reports_the_opengl_driver(self):
        with Viewer(["--logvl", self.unknown]) as v:
            v.wait_for_log("No molecules could be found!\n")
            out = v.stdout()
            for key in ("OpenGL vendor: ", "OpenGL renderer: ", "OpenGL version: "):
                self.assertRegex(out, "(?m)^" + key + r"\S")
            version = re.search(r"(?m)^OpenGL version: (\d+)\.(\d+)", out)
            self.assertGreaterEqual((int(version.group(1)), int(version.group(2))), (3, 3))
        with Viewer([self.unknown]) as v:
            v.wait_for_log("No molecules could be found!\n")
            self.assertNotIn("OpenGL", v.stdout())


class Drops(Files, unittest.TestCase):

    def test_drop_of_several_files_loads_the_first_only(self):
        benzene = os.path.join(EXAMPLES, "benzene.xyz")
        with Viewer([self.unknown]) as v:
            v.wait_for_log("No molecules could be found!\n")
            self.assertTrue(v.drop([self.unknown2, benzene, self.unknown]))
            v.wait_until(lambda: v.stdout().count("No molecules could be found!\n") == 2, what="second load")
            self.assertEqual(v.stdout().count("File type = "), 2)
            self.assertNotIn("File type = 9", v.stdout())
            # The title stays that of the start-up file.
            self.assertEqual(v.name(), self.unknown + " - ORBISK")
            self.assertEqual(v.close(), 0)

    def test_bad_dropped_file_is_reported_and_the_viewer_carries_on(self):
        with Viewer([self.unknown]) as v:
            v.wait_for_log("No molecules could be found!\n")
            self.assertTrue(v.drop([self.bad_wfn]))
            v.wait_for_log("ERROR: ")
            self.assertRegex(v.stdout(), r"(?m)^ERROR: \S.*$")
            self.assertIn("File type = 8 \n", v.stdout())
            self.assertTrue(v.drop([self.unknown2]))
            v.wait_until(lambda: v.stdout().count("No molecules could be found!\n") >= 2, what="load after error")
            self.assertEqual(v.close(), 0)
        with open(self.bad_wfn) as f:
            self.assertEqual(f.read(), BAD_WFN)  # inputs are never changed


if __name__ == "__main__":
    unittest.main(verbosity=2)
