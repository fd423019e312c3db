"""Key commands: stepping through structures, the coordinate listing, keys pressed while nothing is
loaded, and releases that reach the toolkit. (Styles and H: test_display.)"""

import os
import time
import unittest

from harness import BENZENE, FittedView, ScratchTest, Viewer, f32, read_xyz

HEADER = "Cartesian coordinates of atoms for the current structure:\n"

def cpu_seconds(pid):
    """User and system time the process has used so far."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

class Keys(ScratchTest):

    def test_arrows_step_structures_with_wrap_around(self):
        # Three frames of a bent triatomic; the bend differs from frame to frame.
        path = self.write("bend.trj", "".join("3\nframe %d\nO 0 0 0\nH 1.0 0 0\nH %f %f 0\n" % (k + 1, x, y)
                                              for k, (x, y) in enumerate([(1.5, 0.0), (0.0, 1.5), (-1.0, -1.1)])))
        with Viewer([path]) as v:
            v.wait_for_log("New molecule: ")
            third = v.settled().rgb  # the last frame comes up first
            v.key("Right")  # past the end: the first
            v.wait_until(lambda: v.screenshot().rgb != third, what="frame 1")
            first = v.settled().rgb
            v.key("Right")
            v.wait_until(lambda: v.screenshot().rgb not in (first, third), what="frame 2")
            second = v.settled().rgb
            top = 3 * 512 * 25  # the overlay line with its (k/3), and the structure below it
            self.assertEqual(len({first[:top], second[:top], third[:top]}), 3)
            self.assertEqual(len({first[top:], second[top:], third[top:]}), 3)
            # Past the end comes the first, before the start the last.
            for keys, expected in ((["Right"], third), (["Left"], second), (["Left", "Left"], third),
                                   (["Right"], first)):
                v.key(*keys)
                v.settled(expected)
            self.assertEqual(v.stdout().count("New molecule: "), 3)  # stepping loads nothing

    def test_keys_with_nothing_loaded_an_idle_window_the_listing_and_escape(self):
        expected = HEADER + "".join("%s%d %.6f %.6f %.6f\n" % (s, i + 1, f32(x), f32(y), f32(z))
                                    for i, (s, x, y, z) in enumerate(read_xyz(BENZENE)))
        with Viewer([self.write("notes.txt", "nothing to read here\n")]) as v:
            v.wait_for_log("No molecules could be found!\n")
            before, picture = v.stdout(), v.settled().rgb
            v.key("Left", "Right", "Up", "Down", "b", "c", "h")
            v.click(256, 256)
            v.click(256, 256, button=3)
            v.key("Up")
            v.settled(picture)
            self.assertEqual(v.stdout(), before)
            # H changed the setting all the same: the dropped benzene comes without
            # hydrogens, and the view is fitted to the carbon ring alone.
            x, y = FittedView([a for a in read_xyz(BENZENE) if a[0] != "H"]).pixel(1.209837, 0.6985, 0.0)
            self.assertTrue(v.drop([BENZENE]))
            v.wait_for_log("New molecule: ")
            # Outside every atom and bond of a fit that includes hydrogens.
            v.wait_until(lambda: v.screenshot().pixel(x, y + 20) != (0, 0, 0), what="benzene without hydrogens")
            v.settled()
            # Frames come on demand only: a window that keeps redrawing burns a core.
            before = cpu_seconds(v.proc.pid)
            time.sleep(1.5)
            self.assertLess(cpu_seconds(v.proc.pid) - before, 0.15)
            # C lists the current structure, hidden hydrogens included.
            v.key("c")
            v.wait_for_log("H12 ")
            out = v.stdout()
            self.assertEqual(out[out.index(HEADER):], expected)
            self.assertIn("C1 1.209837 0.698500 0.000000\n", out)
            # Releases other than F3 and F4 reach the toolkit: Escape closes.
            v.key("Escape", action="keydown")
            v.key("Escape", action="keyup")
            self.assertEqual(v.wait_exit(), 0)

    def test_f1_shows_the_help_and_space_plays_the_structures(self):
        with Viewer([os.path.join(os.path.dirname(BENZENE), "water-vibration.trj")]) as v:
            v.wait_for_log("New molecule: ")
            plain = v.settled().rgb
            # The help's left column lies beside the molecule in the middle.
            text_beside = lambda img: any(min(img.pixel(x, y)) > 200 for y in range(100, 400, 2) for x in range(60, 180))
            self.assertFalse(text_beside(v.screenshot()))
            v.key("F1")
            v.wait_until(lambda: text_beside(v.screenshot()), what="the help")
            v.key("F1")
            v.settled(plain)
            # Space plays (the picture changes) and pauses; paused, the viewer is idle.
            v.key("space")
            v.wait_until(lambda: v.screenshot().rgb != plain, what="the next structures")
            v.key("space")
            still = v.settled().rgb
            before = cpu_seconds(v.proc.pid)
            time.sleep(1.5)
            self.assertLess(cpu_seconds(v.proc.pid) - before, 0.15)
            self.assertEqual(v.screenshot().rgb, still)

    def dialog(self, v, keys, title, path):
        """Opens a file dialog with the keys and answers it with the path."""
        v.key(keys)
        ids = v.xdotool("search", "--sync", "--name", title).split()
        v.xdotool("windowfocus", "--sync", ids[0], "type", "--delay", 5, path)
        v.xdotool("key", "Return")

    def test_l_names_the_atoms_the_status_line_and_the_file_dialogs(self):
        trj = os.path.join(os.path.dirname(BENZENE), "water-vibration.trj")
        png = os.path.join(self.dir, "view.png")
        with Viewer([BENZENE]) as v:
            v.wait_for_log("New molecule: ")
            plain = v.settled()
            light = lambda img, y0=0, y1=512: sum(min(img.pixel(x, y)) > 200 for y in range(y0, y1) for x in range(512))
            self.assertGreater(light(plain, 490), 20)  # the status line
            v.key("l")
            v.wait_until(lambda: light(v.screenshot()) > light(plain) + 100, what="the atom names")
            v.key("l")
            v.settled(plain.rgb)
            v.key("h")
            v.wait_until(lambda: light(v.screenshot(), 490) > light(plain, 490) + 20, what="H hidden")
            # Ctrl+S saves the view at window size; Ctrl+O loads as a drop does.
            self.dialog(v, "ctrl+s", "Save the view as PNG", png)
            v.wait_for_log("Saved the view as %s\n" % png)
            with open(png, "rb") as f:
                self.assertEqual(f.read(24)[16:], (512).to_bytes(4, "big") * 2)
            self.dialog(v, "ctrl+o", "Open a structure file", trj)
            v.wait_for_log("New molecule:  - 3 atoms")

if __name__ == "__main__":
    unittest.main(verbosity=2)
