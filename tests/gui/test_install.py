"""The desktop install: cmake --install into a scratch DESTDIR, the desktop file and the file types it
registers, and the Debian package (built with cpack, unpacked with dpkg-deb, never installed). Uses the
build folder of ORBISK_BIN; a missing tool skips its test and says which."""

import glob
import os
import re
import shutil
import subprocess
import unittest

from harness import BIN, ScratchTest, run

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.dirname(os.path.abspath(shutil.which(BIN) or BIN))
TREE = ["bin/orbisk", "share/applications/orbisk.desktop", "share/mime/packages/orbisk.xml",
        "share/icons/hicolor/scalable/apps/orbisk.svg", "share/man/man1/orbisk.1",
        "share/orbisk/font/bitstream-vera/VeraMono.ttf"]
# (file name, first lines, type): outputs by their banners, whatever the name; the rest by name.
TYPED = [("job.log", " Entering Gaussian System, Link 0=g16\n Initial command:\n", "chemical/x-gaussian-log"),
         ("job.out", " Entering Gaussian System, Link 0=g09\n", "chemical/x-gaussian-log"),
         ("run.log", "----- GAMESS execution script -----\n\n     *  GAMESS VERSION = 30 SEP 2018 (R3)  *\n",
          "chemical/x-gamess-output"),
         ("opt.out", "\n" + " " * 33 + "*****************\n" + " " * 33 + "* O   R   C   A *\n",
          "chemical/x-orca-output"),
         ("notes.log", "an ordinary log\n", "text/x-log"), ("water.xyz", "1\n\nO 0 0 0\n", "chemical/x-xyz"),
         ("a.fchk", "title\n", "chemical/x-gaussian-checkpoint"), ("a.molden", "[Molden Format]\n", "chemical/x-molden"),
         ("a.wfn", "title\n", "chemical/x-wfn")]

def tools(*names):
    missing = [n for n in names if not shutil.which(n)]
    return unittest.skipIf(missing, "not installed: %s (scripts/setup installs it)" % " ".join(missing))

def check(args, **kw):
    p = subprocess.run(args, capture_output=True, text=True, timeout=300, **kw)
    assert p.returncode == 0, (args, p.stdout, p.stderr)
    return p.stdout + p.stderr

@unittest.skipUnless(os.path.isfile(os.path.join(BUILD, "CMakeCache.txt")), "ORBISK_BIN is not in a build folder")
class Install(ScratchTest):

    def works_from_elsewhere(self, program):
        """--version and --render from another folder, with no display and no ORBISK_ROOT_DIR."""
        cwd = os.path.join(self.dir, "elsewhere")
        os.makedirs(cwd, exist_ok=True)
        self.assertEqual(subprocess.run([program, "--version"], cwd=cwd, capture_output=True).returncode, 0)
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "ORBISK_ROOT_DIR")}
        subprocess.run([program, "--render", "w.png", "--size", "64x48", os.path.join(ROOT, "examples", "benzene.xyz")],
                       cwd=cwd, env=env, capture_output=True, check=True)
        self.assertTrue(os.path.getsize(os.path.join(cwd, "w.png")) > 0)

    def test_install_tree(self):
        # Another prefix than the one compiled in: the data is found beside the program.
        check(["cmake", "--install", BUILD, "--prefix", "/opt/orbisk"], env=dict(os.environ, DESTDIR=self.dir))
        prefix = os.path.join(self.dir, "opt", "orbisk")
        for path in TREE:
            self.assertTrue(os.path.isfile(os.path.join(prefix, path)), path)
        self.assertTrue(os.access(os.path.join(prefix, "bin", "orbisk"), os.X_OK))
        self.works_from_elsewhere(os.path.join(prefix, "bin", "orbisk"))
        # The manual page is made from --help: every option is in it.
        with open(os.path.join(prefix, TREE[4])) as f:
            manual = f.read().replace("\\-", "-")
        for option in set(re.findall(r"(?m)^   (?:-\w,  )?(--[a-z_]+)", run(["--help"])[1])):
            self.assertIn(option, manual)

    @tools("desktop-file-validate", "update-mime-database", "gio")
    def test_desktop_file_and_file_types(self):
        desktop = os.path.join(ROOT, "data", "orbisk.desktop")
        self.assertEqual(check(["desktop-file-validate", desktop]), "")
        with open(desktop) as f:
            entry = f.read()
        self.assertIn("\nExec=orbisk %f\n", entry)
        home = os.path.join(self.dir, "home")
        os.makedirs(os.path.join(home, "mime", "packages"))
        shutil.copy(os.path.join(ROOT, "data", "orbisk.xml"), os.path.join(home, "mime", "packages"))
        check(["update-mime-database", os.path.join(home, "mime")])
        env = dict(os.environ, XDG_DATA_HOME=home, XDG_DATA_DIRS="/usr/share", GIO_USE_VFS="local")
        with open(os.path.join(home, "mime", "types")) as f:
            defined = set(f.read().split())
        self.assertLessEqual(set(re.search(r"\nMimeType=(.*);\n", entry).group(1).split(";")), defined)
        for name, text, expected in TYPED:
            path = self.write(name, text)
            out = check(["gio", "info", "-a", "standard::content-type", path], env=env)
            self.assertIn("standard::content-type: %s\n" % expected, out, name)

    @tools("cpack", "dpkg-deb", "dpkg-shlibdeps")
    def test_debian_package(self):
        out = os.path.join(self.dir, "package")
        check(["cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-G", "DEB", "-B", out])
        deb, = glob.glob(os.path.join(out, "orbisk_*.deb"))
        control = check(["dpkg-deb", "--info", deb])
        self.assertRegex(control, r"Package: orbisk\n")
        self.assertRegex(control, r"Depends: .*libqt5gui5")
        unpacked = os.path.join(self.dir, "unpacked")
        check(["dpkg-deb", "-x", deb, unpacked])
        for path in TREE:
            self.assertTrue(os.path.isfile(os.path.join(unpacked, "usr", path)), path)
        self.works_from_elsewhere(os.path.join(unpacked, "usr", "bin", "orbisk"))

if __name__ == "__main__":
    unittest.main()
