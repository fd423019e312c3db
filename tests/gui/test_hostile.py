"""Hostile and huge inputs: each ends with a clear message and status, with no crash, no hang and
bounded memory; odd file names are kept byte for byte; no input is ever written (the harness checks)."""

import functools
import os
import random
import shutil
import subprocess
import unittest

from harness import BIN, TEST_DATA, ScratchTest, Viewer, check_unchanged, clean_env, run, snapshot, write_xyz

MB = 1 << 20
NO_MOLECULES = b"File type = 0 \nNo molecules could be found!\n"
WATER = [("O", 0.0, 0.0, 0.117), ("H", 0.0, 0.757, -0.469), ("H", 0.0, -0.757, -0.469)]

@functools.cache
def sanitized():
    # Sanitizer shadow memory and quarantine make resident sizes meaningless.
    with open(BIN, "rb") as f:
        return b"__asan_init" in f.read()

def export(path, fmt="xyz", cwd=None, err_file=None):
    return run(["--export", fmt, path], cwd=cwd, timeout=120, text=False, err_file=err_file)

class Hostile(ScratchTest):

    def test_empty_nul_and_noise_files_and_noise_behind_genuine_headers(self):
        noise = random.Random(7).randbytes(64 * 1024)
        cases = [("empty.xyz", b""), ("empty", b""), ("nul.xyz", bytes(64 * 1024)), ("nul", bytes(64 * 1024))]
        for name, data in cases + [("noise." + ext, noise) for ext in ("xyz", "mol", "log", "wfn")]:
            r = export(self.write(name, data))
            self.assertEqual((r.rc, r.out, r.err), (1, b"", NO_MOLECULES), name)
        # tests/data/hostile: noise alone and inside the first table of each
        # format. Whatever a reader makes of it, the export ends with a status
        # that matches its last word.
        folder = os.path.join(TEST_DATA, "hostile")
        for name in sorted(n for n in os.listdir(folder) if not n.startswith(".")):
            for fmt in ("xyz", "sdf"):
                r = export(os.path.join(folder, name), fmt)
                lines = r.err.splitlines()
                self.assertTrue(lines[0].startswith(b"File type = "), (name, r.err[:200]))
                if r.rc == 0:
                    self.assertTrue(lines[-1].startswith(b"New molecule: ") and r.out, name)
                else:
                    self.assertEqual(r.rc, 1, name)
                    self.assertTrue(lines[-1] == b"No molecules could be found!" or b"\nERROR: " in r.err, name)


    def assert_small(self, r, limit, what):
        if not sanitized():
            self.assertLess(r.rss, limit * MB, "%s: %d MB resident" % (what, r.rss // MB))

    def write_repeated(self, name, head, unit=b"", size=0):
        """head, then unit repeated up to size bytes, in pieces."""
        path, block = self.write(name, head), unit * (MB // max(1, len(unit)))
        with open(path, "ab") as f:
            for start in range(0, size, len(block) or 1):
                f.write(block[:min(len(block), size - start)])
        return path

    def test_fifty_megabyte_lines_and_atom_counts_beyond_any_file(self):
        size, atoms = 50 * 1000 * 1000, b"\ncomment\nO 0 0 0\nH 0 0 1\n"
        # Text full of marker beginnings; digits past any int. The largest int
        # is read as a count, nothing is reserved by it and the frame never
        # completes; one digit more than fits is not a count at all.
        for name, head, unit, err, limit in (
                ("line.log", b"", b"Center     Atomic  Started PID= Number     ", NO_MOLECULES, 300),
                ("line.xyz", b"", b"7", NO_MOLECULES, 300),
                ("count.xyz", b"2147483647" + atoms, b"", b"File type = 9 \nNo molecules could be found!\n", 100),
                ("count2.xyz", b"99999999999" + atoms, b"", NO_MOLECULES, 100)):
            path = self.write_repeated(name, head, unit, size if unit else 0)
            r = export(path)
            os.remove(path)
            self.assertEqual((r.rc, r.out, r.err), (1, b"", err), name)
            self.assert_small(r, limit, name)

        # A line logged whole ("ignored") inside a frame still short of atoms.
        path = self.write_repeated("logged.xyz", b"2\ncomment\nO 0 0 0\n", b"#", size)
        log = os.path.join(self.dir, "stderr")
        r = export(path, err_file=log)
        self.assertEqual((r.rc, r.out), (1, b""))
        self.assert_small(r, 300, "logged.xyz")
        head, tail = b"File type = 9 \nLine '", b"' ignored!\nNo molecules could be found!\n"
        self.assertEqual(os.path.getsize(log), len(head) + size + len(tail))
        with open(log, "rb") as f:
            self.assertEqual(f.read(len(head)), head)
            while len(block := f.read(MB)) == MB:
                self.assertEqual(block.count(b"#"), MB)
            self.assertEqual(block, b"#" * (size % MB) + tail)


    def assert_cannot_open(self, command, name, cwd=None, why=b""):
        for args in (["--export", "xyz", name], [name]):
            p = subprocess.run(command + args, cwd=cwd, capture_output=True, timeout=60, env=clean_env())
            self.assertEqual((p.returncode, p.stdout, p.stderr), (1, b"", b"Cannot open file '%s'%s\n" % (name, why)),
                             args)

    def test_link_loop_pipe_device_and_a_file_without_read_permission(self):
        # Opening a pipe nobody writes to would wait forever; /dev/zero never ends.
        os.symlink("b.xyz", os.path.join(self.dir, "a.xyz"))
        os.symlink("a.xyz", os.path.join(self.dir, "b.xyz"))
        os.mkfifo(os.path.join(self.dir, "pipe.xyz"))
        special = b": it is not a regular file (a pipe or a device)"
        for name, cwd, why in ((b"a.xyz", self.dir, b""), (b"pipe.xyz", self.dir, special),
                               (b"/dev/zero", None, special)):
            self.assert_cannot_open([BIN], name, cwd, why)

        os.chmod(self.dir, 0o755)  # for the user nobody below
        secret = self.write("secret.xyz", b"1\nc\nO 0 0 0\n")
        readable = self.write("open.xyz", b"1\nc\nO 0 0 0\n")
        os.chmod(secret, 0)
        command = [BIN]
        if os.geteuid() == 0:
            # Permission bits do not stop root: read as nobody.
            setpriv = shutil.which("setpriv")
            if not setpriv:
                self.skipTest("setpriv (util-linux) is missing: cannot drop root's rights")
            command = [setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", BIN]
            if subprocess.run(command + ["--version"], capture_output=True).returncode != 0:
                self.skipTest("user nobody cannot run %s" % BIN)
        inputs = snapshot([secret, readable])
        # The same user reads the file beside it: only the permission differs.
        p = subprocess.run(command + ["--export", "xyz", readable], capture_output=True, timeout=60, env=clean_env())
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assert_cannot_open(command, secret.encode())
        check_unchanged(inputs)

    def test_odd_names_in_export_messages_title_capture_and_hostile_drops(self):
        folder, name = os.path.join(self.dir, "dir with space"), "dir with space/my mol \u00fc.xyz"
        os.mkdir(folder)
        write_xyz(os.path.join(self.dir, name), WATER)
        r = export(name, cwd=self.dir)
        self.assertEqual((r.rc, r.out.split(b"\n")[1]), (0, name.encode() + b" 1/1"))
        missing = "dir with space/no mol \u00fc.xyz"
        self.assertEqual(run([missing], cwd=self.dir), (1, "", "Cannot open file '%s'\n" % missing))
        # A name that is not UTF-8 at all: bytes in, the same bytes out.
        latin1 = os.fsencode(self.write(b"caf\xe9 \xfc.xyz".decode("utf-8", "surrogateescape"), b"1\nc\nO 0 0 0\n"))
        self.assertEqual(export(latin1).out.split(b"\n")[1], latin1 + b" 1/1")

        others = os.path.join(self.dir, "others")
        os.mkdir(others)
        noise = self.write("others/noise.xyz", random.Random(7).randbytes(4096))
        nul = self.write("others/nul", bytes(4096))
        os.symlink("loop", os.path.join(others, "loop"))
        # The C locale: nothing may depend on the user's encoding settings.
        with Viewer([name], cwd=self.dir, env={"LANG": None, "LC_ALL": None, "LC_CTYPE": None}) as v:
            v.wait_for_log("New molecule: ")
            self.assertEqual(v.name(), name + " - ORBISK")
            # Files no reader takes, dropped: each is reported, the viewer goes on.
            for k, path in enumerate((noise, nul, others, os.path.join(others, "loop")), 1):
                self.assertTrue(v.drop([path]), path)
                v.wait_until(lambda: v.stdout().count("File type = 0 \n") == k, what="drop of " + path)
            # The odd name itself, dropped by its absolute path.
            self.assertTrue(v.drop([os.path.join(self.dir, name)]))
            v.wait_until(lambda: v.stdout().count("File type = 9 \n") == 2, what="the second load")
            v.key("F4")
            v.wait_until(lambda: "my mol \u00fc.xyz.png" in os.listdir(folder), timeout=60, what="the capture")
            self.assertEqual(sorted(os.listdir(folder)), ["my mol \u00fc.xyz", "my mol \u00fc.xyz.png"])
            self.assertNotIn("ERROR", v.stdout() + v.stderr())
            self.assertEqual(v.close(), 0)
        # Leaving the block checked that the loaded and the dropped files are unchanged.

if __name__ == "__main__":
    unittest.main(verbosity=2)
