"""Hostile and huge inputs: each ends with a clear message and status, with
no crash, no hang and bounded memory; odd file names are kept byte for byte;
no input is ever written (the harness checks every file it hands over)."""

import collections
import functools
import os
import random
import shutil
import subprocess
import tempfile
import threading
import unittest

from harness import BIN, TEST_DATA, InputGuard, ScratchTest, Viewer, clean_env, run, write_xyz

MB = 1 << 20
NO_MOLECULES = b"File type = 0 \nNo molecules could be found!\n"
WATER = [("O", 0.0, 0.0, 0.117), ("H", 0.0, 0.757, -0.469), ("H", 0.0, -0.757, -0.469)]


@functools.cache
def sanitized():
    # Sanitizer shadow memory and quarantine make resident sizes meaningless.
    with open(BIN, "rb") as f:
        return b"__asan_init" in f.read()


Result = collections.namedtuple("Result", "rc out err rss")


def export(path, fmt="xyz", cwd=None, timeout=120, err_file=None):
    """orbisk --export: status, stdout, stderr (bytes; None when sent to
    err_file) and the peak resident size of the process. That peak includes
    what this process held when it forked it: tests never hold big inputs."""
    inputs = InputGuard([path], cwd)
    with tempfile.TemporaryFile() as out, (open(err_file, "w+b") if err_file else tempfile.TemporaryFile()) as err:
        p = subprocess.Popen([BIN, "--export", fmt, path], stdout=out, stderr=err, cwd=cwd, env=clean_env())
        watchdog = threading.Timer(timeout, p.kill)  # a hang fails, it does not block the suite
        watchdog.start()
        _, status, usage = os.wait4(p.pid, 0)
        watchdog.cancel()
        p.returncode = os.waitstatus_to_exitcode(status)
        assert p.returncode >= 0, "orbisk ended by signal %d on %r (9: still running after %ss)" % (
            -p.returncode, path, timeout)
        out.seek(0)
        err.seek(0)
        result = Result(p.returncode, out.read(), None if err_file else err.read(), usage.ru_maxrss * 1024)
    inputs.check()
    return result


class BadBytes(ScratchTest):

    def test_empty_nul_and_noise_files(self):
        noise = random.Random(7).randbytes(64 * 1024)
        cases = [("empty.xyz", b""), ("empty", b""), ("nul.xyz", bytes(64 * 1024)), ("nul", bytes(64 * 1024))]
        cases += [("noise." + ext, noise) for ext in ("xyz", "mol", "log", "wfn")]
        for name, data in cases:
            r = export(self.write(name, data))
            self.assertEqual((r.rc, r.out, r.err), (1, b"", NO_MOLECULES), name)

    def test_noise_behind_genuine_headers(self):
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
                    self.assertTrue(lines[-1].startswith(b"New molecule: "), name)
                    self.assertTrue(r.out, name)
                else:
                    self.assertEqual(r.rc, 1, name)
                    self.assertTrue(lines[-1] == b"No molecules could be found!" or b"\nERROR: " in r.err, name)


class Huge(ScratchTest):

    def assert_small(self, r, limit, what):
        if not sanitized():
            self.assertLess(r.rss, limit, "%s: %d MB resident" % (what, r.rss // MB))

    def write_repeated(self, name, head, unit, size):
        """head, then unit repeated up to size bytes, in pieces."""
        path = os.path.join(self.dir, name)
        block = unit * (MB // len(unit))
        with open(path, "wb") as f:
            f.write(head)
            for start in range(0, size, len(block)):
                f.write(block[:min(len(block), size - start)])
        return path

    def test_fifty_megabyte_line_without_newline(self):
        size = 50 * 1000 * 1000
        # Text full of marker beginnings; digits past any int.
        for name, unit in (("line.log", b"Center     Atomic  Started PID= Number     "), ("line.xyz", b"7")):
            path = self.write_repeated(name, b"", unit, size)
            r = export(path)
            os.remove(path)
            self.assertEqual((r.rc, r.out, r.err), (1, b"", NO_MOLECULES), name)
            self.assert_small(r, 300 * MB, name)

        # A line logged whole ("ignored") inside a frame still short of atoms.
        path = self.write_repeated("logged.xyz", b"2\ncomment\nO 0 0 0\n", b"#", size)
        log = os.path.join(self.dir, "stderr")
        r = export(path, err_file=log)
        self.assertEqual((r.rc, r.out), (1, b""))
        self.assert_small(r, 300 * MB, "logged.xyz")
        head, tail = b"File type = 9 \nLine '", b"' ignored!\nNo molecules could be found!\n"
        self.assertEqual(os.path.getsize(log), len(head) + size + len(tail))
        with open(log, "rb") as f:
            self.assertEqual(f.read(len(head)), head)
            for _ in range(size // MB):
                self.assertEqual(f.read(MB).count(b"#"), MB)
            self.assertEqual(f.read(), b"#" * (size % MB) + tail)

    def test_atom_counts_beyond_any_file(self):
        atoms = b"comment\nO 0 0 0\nH 0 0 1\n"
        # The largest int: read as a count, nothing reserved by it, the frame
        # never completes. One digit more than fits: not a count at all.
        for count, err in ((b"2147483647", b"File type = 9 \nNo molecules could be found!\n"),
                           (b"99999999999", NO_MOLECULES)):
            r = export(self.write("count.xyz", count + b"\n" + atoms))
            self.assertEqual((r.rc, r.out, r.err), (1, b"", err), count)
            self.assert_small(r, 100 * MB, count)


class Unopenable(ScratchTest):

    def assert_cannot_open(self, command, name, cwd=None, why=b""):
        for args in (["--export", "xyz", name], [name]):
            p = subprocess.run(command + args, cwd=cwd, capture_output=True, timeout=60, env=clean_env())
            self.assertEqual((p.returncode, p.stdout, p.stderr), (1, b"", b"Cannot open file '%s'%s\n" % (name, why)),
                             args)

    def test_file_without_read_permission(self):
        os.chmod(self.dir, 0o755)
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
        inputs = InputGuard([secret, readable])
        # The same user reads the file beside it: only the permission differs.
        p = subprocess.run(command + ["--export", "xyz", readable], capture_output=True, timeout=60, env=clean_env())
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assert_cannot_open(command, secret.encode())
        inputs.check()

    def test_symbolic_link_loop(self):
        os.symlink("b.xyz", os.path.join(self.dir, "a.xyz"))
        os.symlink("a.xyz", os.path.join(self.dir, "b.xyz"))
        self.assert_cannot_open([BIN], b"a.xyz", cwd=self.dir)

    def test_pipe_and_device(self):
        # Opening a pipe nobody writes to would wait forever; /dev/zero never ends.
        os.mkfifo(os.path.join(self.dir, "pipe.xyz"))
        for name, cwd in ((b"pipe.xyz", self.dir), (b"/dev/zero", None)):
            self.assert_cannot_open([BIN], name, cwd, b": it is not a regular file (a pipe or a device)")


class Names(ScratchTest):
    FOLDER = "dir with space"
    NAME = FOLDER + "/my mol \u00fc.xyz"

    def setUp(self):
        super().setUp()
        os.mkdir(os.path.join(self.dir, self.FOLDER))
        write_xyz(os.path.join(self.dir, self.NAME), WATER)

    def test_name_kept_by_export_and_messages(self):
        r = export(self.NAME, cwd=self.dir)
        self.assertEqual(r.rc, 0)
        self.assertEqual(r.out.split(b"\n")[1], self.NAME.encode() + b" 1/1")
        missing = self.FOLDER + "/no mol \u00fc.xyz"
        self.assertEqual(run([missing], cwd=self.dir), (1, "", "Cannot open file '%s'\n" % missing))
        # A name that is not UTF-8 at all: bytes in, the same bytes out.
        latin1 = self.write(b"caf\xe9 \xfc.xyz".decode("utf-8", "surrogateescape"), b"1\nc\nO 0 0 0\n")
        r = export(os.fsencode(latin1))
        self.assertEqual(r.out.split(b"\n")[1], os.fsencode(latin1) + b" 1/1")

    def test_window_title_capture_and_hostile_drops(self):
        others = os.path.join(self.dir, "others")
        os.mkdir(others)
        noise = self.write("others/noise.xyz", random.Random(7).randbytes(4096))
        nul = self.write("others/nul", bytes(4096))
        os.symlink("loop", os.path.join(others, "loop"))
        folder = os.path.join(self.dir, self.FOLDER)
        # The C locale: nothing may depend on the user's encoding settings.
        with Viewer([self.NAME], cwd=self.dir, env={"LANG": None, "LC_ALL": None, "LC_CTYPE": None}) as v:
            v.wait_for_log("New molecule: ")
            self.assertEqual(v.name(), self.NAME + " - ORBISK")
            # Files no reader takes, dropped: each is reported, the viewer goes on.
            for k, path in enumerate((noise, nul, others, os.path.join(others, "loop")), 1):
                self.assertTrue(v.drop([path]), path)
                v.wait_until(lambda: v.stdout().count("File type = 0 \n") == k, what="drop of " + path)
            # The odd name itself, dropped by its absolute path.
            self.assertTrue(v.drop([os.path.join(self.dir, self.NAME)]))
            v.wait_until(lambda: v.stdout().count("File type = 9 \n") == 2, what="the second load")
            v.key("F4")
            v.wait_until(lambda: "my mol \u00fc.xyz.png" in os.listdir(folder), timeout=60, what="the capture")
            self.assertEqual(sorted(os.listdir(folder)), ["my mol \u00fc.xyz", "my mol \u00fc.xyz.png"])
            self.assertNotIn("ERROR", v.stdout() + v.stderr())
            self.assertEqual(v.close(), 0)
        # Leaving the block checked that the loaded and the dropped files are unchanged.


if __name__ == "__main__":
    unittest.main(verbosity=2)
