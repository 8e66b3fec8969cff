#!/usr/bin/env python3
"""Checks of ./run.sh itself. usage: rig_test.py <source-tree> <gtest-program> [unittest args]
Summary: the closing line counts GoogleTest cases from GoogleTest's XML, and
a program that ran no case fails. Runs (with a stand-in for cmake, so that
nothing is really built): a run started from another folder, a failed build
named in the closing line, the lock, and kill -KILL, SIGINT or SIGTERM
mid-run leaving no process behind, not even a daemon."""
import os, pathlib, signal, subprocess, sys, tempfile, time, unittest

source = pathlib.Path(sys.argv.pop(1)).resolve()
# A GTEST_FILTER of the run that runs these checks is not theirs.
clean_env = {k: v for k, v in os.environ.items() if not k.startswith("GTEST_")}
gtest_program = pathlib.Path(sys.argv.pop(1)).resolve()

FAKE_CMAKE = """#!/usr/bin/env python3
# cmake as ./run.sh uses it. A build makes a bench that says where it ran;
# with RIG_CMAKE=fail it fails; with RIG_CMAKE=hang it leaves a daemon behind
# (a session of its own, under PID 1, as Wine's servers are) and waits.
import os, sys, time
args, mode = sys.argv[1:], os.environ.get("RIG_CMAKE")
if "-B" in args:
    os.makedirs(args[args.index("-B") + 1], exist_ok=True)
if "--build" not in args:
    sys.exit(0)
if mode == "fail":
    sys.exit("the build failed, as asked")
if mode == "hang":
    if os.fork() == 0:
        os.setsid()
        if os.fork() == 0:
            time.sleep(600)
        os._exit(0)
    time.sleep(600)
bench = os.path.join(args[args.index("--build") + 1], "bench", "zp_text_bench")
os.makedirs(os.path.dirname(bench), exist_ok=True)
with open(bench, "w") as f:
    f.write('#!/bin/sh\\necho "bench ran in $(pwd)"\\n')
os.chmod(bench, 0o755)
"""


def summary(build, **env):
    done = subprocess.run([sys.executable, source / "tools/test-summary.py", build], capture_output=True,
                          text=True, timeout=60, env=dict(clean_env, **env))
    return done.returncode, done.stdout


class Summary(unittest.TestCase):
    def ctest_run(self, build, **env):  # a tree with one GoogleTest program and one other test
        tree, results = build / "native", build / "results"
        tree.mkdir(parents=True, exist_ok=True), results.mkdir(exist_ok=True)
        (tree / "CTestTestfile.cmake").write_text(
            f'add_test(cases "{gtest_program}" "--gtest_output=xml:{tree}/gtest/cases.xml")\n'
            'add_test(script "true")\n')
        done = subprocess.run(["ctest", "--test-dir", tree, "--output-junit", results / "native.xml"],
                              capture_output=True, text=True, timeout=60, env=dict(clean_env, **env))
        (results / "native.status").write_text(str(done.returncode))
        (results / "native.log").write_text(done.stdout)
        return tree

    def test_cases_counted(self):
        with tempfile.TemporaryDirectory() as folder:
            build = pathlib.Path(folder)
            self.ctest_run(build)
            status, out = summary(build)
            self.assertEqual(status, 0, out)
            cases = (build / "native/gtest/cases.xml").read_text().count("<testcase ")
            self.assertGreater(cases, 1)
            self.assertEqual(out.splitlines()[-1], f"tests: {cases + 1} passed, 0 failed, 0 skipped")

    def test_a_program_that_ran_no_case_fails(self):
        with tempfile.TemporaryDirectory() as folder:
            build = pathlib.Path(folder)
            self.ctest_run(build, GTEST_FILTER="NoSuchCase.AtAll")
            status, out = summary(build, GTEST_FILTER="NoSuchCase.AtAll")
            self.assertEqual(status, 1, out)
            self.assertIn("failed (native): cases (ran no test case, GTEST_FILTER=NoSuchCase.AtAll)", out)
            self.assertEqual(out.splitlines()[-1], "tests: 1 passed, 1 failed, 0 skipped")

    def test_cases_failed_skipped_and_lost(self):
        with tempfile.TemporaryDirectory() as folder:
            build = pathlib.Path(folder)
            tree = self.ctest_run(build)
            (tree / "gtest/cases.xml").write_text(
                '<testsuites><testsuite name="S">'
                '<testcase name="a" status="run" result="completed" classname="S"/>'
                '<testcase name="b" status="run" result="completed" classname="S">'
                '<failure message="x.cpp:9&#x0A;wrong"/></testcase>'
                '<testcase name="c" status="run" result="skipped" classname="S"><skipped message="i386 only"/>'
                '</testcase></testsuite></testsuites>')
            status, out = summary(build)
            self.assertEqual(status, 1, out)
            self.assertIn("failed (native): cases: S.b: x.cpp:9", out)
            self.assertIn("skipped (native): cases: S.c: i386 only", out)
            self.assertEqual(out.splitlines()[-1], "tests: 2 passed, 1 failed, 1 skipped")
            (tree / "gtest/cases.xml").write_text("<testsuites><testsuite>")  # cut short
            self.assertEqual(summary(build)[1].splitlines()[-1], "tests: 1 passed, 1 failed, 0 skipped")
            (build / "results/native.xml").unlink()
            self.assertEqual(summary(build)[1].splitlines()[-1], "tests: 0 passed, 1 failed, 0 skipped")


def processes_naming(text):
    found = subprocess.run(["pgrep", "-af", text], capture_output=True, text=True).stdout
    return [line for line in found.splitlines() if "pgrep" not in line]


class Runs(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        bin = pathlib.Path(self.folder.name) / "bin"
        bin.mkdir()
        (bin / "cmake").write_text(FAKE_CMAKE)
        (bin / "cmake").chmod(0o755)
        self.env = dict(clean_env, PATH=f"{bin}:{os.environ['PATH']}", ZP_NO_WIN32="1", ZP_NO_VM="1")

    def run_sh(self, *args, cwd=None, **env):
        return subprocess.run(["nice", "-n", "19", "bash", source / "run.sh", *args], cwd=cwd,
                              capture_output=True, text=True, timeout=120, env=dict(self.env, **env))

    def test_from_another_folder(self):
        elsewhere = pathlib.Path(self.folder.name) / "elsewhere"
        elsewhere.mkdir()
        done = self.run_sh("bench", cwd=elsewhere, ZP_BUILD_DIR="relative/build")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn(f"bench ran in {elsewhere}", done.stdout)
        self.assertTrue((elsewhere / "relative/build/native/bench/zp_text_bench").exists())
        # A failed build still ends with the closing line, which names it; the tests that
        # ZP_NO_VM=1 leaves out are listed as skipped all the same.
        done = self.run_sh("test", cwd=elsewhere, ZP_BUILD_DIR="relative/build", RIG_CMAKE="fail")
        self.assertEqual(done.returncode, 1, done.stderr)
        for tree in ("native", "win32", "win64"):
            self.assertIn(f"failed (build-{tree}): exit status 1", done.stdout)
        self.assertIn("skipped (win32): the win32 tree's tests: ZP_NO_VM=1", done.stdout)
        self.assertEqual(done.stdout.splitlines()[-1], "tests: 0 passed, 3 failed, 1 skipped")

    def test_lock_and_signals(self):
        build = pathlib.Path(self.folder.name) / "build"
        env = dict(self.env, ZP_BUILD_DIR=str(build), RIG_CMAKE="hang")
        for sig in (signal.SIGKILL, signal.SIGINT, signal.SIGTERM):
            first = subprocess.Popen([source / "run.sh", "bench"], env=env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
            deadline = time.time() + 60
            while len(processes_naming(f"{build}/native")) < 2 and time.time() < deadline:
                time.sleep(0.2)
            self.assertEqual(len(processes_naming(f"{build}/native")), 2, "no build and daemon started")
            second = subprocess.run([source / "run.sh", "bench"], env=env, capture_output=True, text=True,
                                    timeout=10)
            self.assertEqual(second.returncode, 1)
            self.assertIn(f"another ./run.sh is using {build}", second.stderr)
            first.send_signal(sig)
            self.assertEqual(first.wait(timeout=10), {signal.SIGINT: 130, signal.SIGTERM: 143}.get(sig, -9))
            deadline = time.time() + 5
            while processes_naming(str(build)) and time.time() < deadline:
                time.sleep(0.2)
            self.assertEqual(processes_naming(str(build)), [], f"left behind by {sig.name}")
            self.assertEqual(subprocess.run(["flock", "-n", build / ".run.lock", "true"]).returncode, 0)


if __name__ == "__main__":
    unittest.main()
