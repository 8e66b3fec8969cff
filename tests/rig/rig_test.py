#!/usr/bin/env python3
"""Checks of ./run.sh itself: what the closing line counts from crafted
results, the lock of a build folder, and that a SIGINT mid-run leaves no
process behind. usage: rig_test.py <source-tree>"""
import os, pathlib, signal, subprocess, sys, tempfile, time, unittest

source = pathlib.Path(sys.argv.pop(1)).resolve()
passing = """<testsuite tests="2"><testcase name="dll_tests" status="run"><system-out>[ RUN      ] Host.Throw
x.cpp:9: Skipped
i386 only

[  SKIPPED ] Host.Throw (0 ms)
[  PASSED  ] 4 tests.
</system-out></testcase><testcase name="text" status="run"><system-out/></testcase></testsuite>"""


class Summary(unittest.TestCase):
    def summary(self, junit, status="0"):
        with tempfile.TemporaryDirectory() as results:
            (pathlib.Path(results) / "run.status").write_text(status)
            (pathlib.Path(results) / "run.log").write_text("the end of the log\n")
            if junit is not None:
                (pathlib.Path(results) / "run.xml").write_text(junit)
            done = subprocess.run([sys.executable, source / "tools/test-summary.py", results],
                                  capture_output=True, text=True, timeout=30)
            return done.returncode, done.stdout.splitlines()[-1]

    def test_counts(self):
        self.assertEqual(self.summary(passing), (0, "tests: 2 passed, 0 failed, 1 skipped"))
        for cut in (60, len(passing) // 2, len(passing) - 5):  # a truncated file counts for nothing
            self.assertEqual(self.summary(passing[:cut]), (1, "tests: 0 passed, 1 failed, 0 skipped"))
        self.assertEqual(self.summary(None), (1, "tests: 0 passed, 1 failed, 0 skipped"))
        self.assertEqual(self.summary(passing, "8"), (1, "tests: 2 passed, 1 failed, 1 skipped"))
        failed = passing.replace('status="run"><system-out/>', 'status="fail"><failure message=""/><system-out/>')
        self.assertEqual(self.summary(failed, "8"), (1, "tests: 1 passed, 1 failed, 1 skipped"))


def processes_naming(text):
    found = subprocess.run(["pgrep", "-af", text], capture_output=True, text=True).stdout
    return [line for line in found.splitlines() if "pgrep" not in line]


class Run(unittest.TestCase):
    def test_lock_and_interrupt(self):
        with tempfile.TemporaryDirectory() as build:
            env = dict(os.environ, ZP_BUILD_DIR=build, ZP_NO_WIN32="1")
            first = subprocess.Popen([source / "run.sh", "bench"], env=env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
            deadline = time.time() + 60
            while not processes_naming(f"{build}/native") and time.time() < deadline:
                time.sleep(0.2)
            self.assertTrue(processes_naming(f"{build}/native"), "the first run never started its build")
            second = subprocess.run([source / "run.sh", "bench"], env=env, capture_output=True, text=True, timeout=10)
            self.assertEqual(second.returncode, 1)
            self.assertIn(f"another ./run.sh is using {build}", second.stderr)
            first.send_signal(signal.SIGINT)
            self.assertEqual(first.wait(timeout=30), 130)
            time.sleep(1)
            self.assertEqual(processes_naming(build), [])


if __name__ == "__main__":
    unittest.main()
