#!/usr/bin/env python3
"""The closing line of ./run.sh test, from <build>/results: NAME.status and NAME.log of each
step, NAME.xml (JUnit) of the ctest run of <build>/NAME, NAME.skip of a run left out. Cases of a
GoogleTest program (--gtest_output=xml:FILE) count from FILE, and one that ran none fails; any
other test counts as one. usage: test-summary.py <build-folder>; exit status 1 on a failure."""
import json, os, pathlib, subprocess, sys, xml.etree.ElementTree as ET

build = pathlib.Path(sys.argv[1])
results, counts = build / "results", {"passed": 0, "failed": 0, "skipped": 0}

def count(state, run, what=""):
    counts[state] += 1
    if state != "passed":
        print(f"{state} ({run}): {what}")

def gtest_files(tree):  # from ctest's own list of the tree's tests and their commands
    listing = subprocess.run(["ctest", "--test-dir", tree, "--show-only=json-v1"],
                             capture_output=True, text=True).stdout
    return {test["name"]: pathlib.Path(arg.split(":", 1)[1].removeprefix("Z:"))
            for test in json.loads(listing or "{}").get("tests", [])
            for arg in test.get("command", []) if arg.startswith("--gtest_output=xml:")}

def cases(run, name, xml, verdict):  # counts them; says why the program failed, if they do not
    try:
        found = list(ET.parse(xml).getroot().iter("testcase"))
    except (OSError, ET.ParseError) as error:
        return verdict or f"passed, but its GoogleTest XML is missing or cut short ({error})"
    for case in found:
        what = f"{name}: {case.get('classname')}.{case.get('name')}"
        failure, skipped = case.find("failure"), case.find("skipped")
        if failure is not None:  # the first line of its message: file and line
            count("failed", run, f"{what}: {(failure.get('message') or 'failed').splitlines()[0]}")
        elif skipped is not None:
            count("skipped", run, f"{what}: {' '.join(skipped.get('message', '').split())}")
        elif case.get("status") == "run":
            count("passed", run)
        else:
            count("skipped", run, f"{what}: disabled")
    if not any(case.get("status") == "run" for case in found):
        chosen = os.environ.get("GTEST_FILTER")
        return "ran no test case" + (f", GTEST_FILTER={chosen}" if chosen else "")
    return None if any(case.find("failure") is not None for case in found) else verdict

for skip in sorted(results.glob("*.skip")):
    count("skipped", skip.stem, skip.read_text().strip())
for status_file in sorted(results.glob("*.status")):
    run, status = status_file.stem, status_file.read_text().strip()
    log, failed_before = results / f"{run}.log", counts["failed"]
    if not (build / run / "CTestTestfile.cmake").exists():  # a step that runs no tests
        if status != "0":
            count("failed", run, f"exit status {status}; see {log}")
        continue
    try:
        tests = list(ET.parse(results / f"{run}.xml").getroot().iter("testcase"))
    except (OSError, ET.ParseError) as error:  # a file cut short counts for nothing
        count("failed", run, f"its JUnit file is missing or cut short ({error}); see {log}")
        continue
    gtest = gtest_files(build / run)
    for test in tests:
        name, state = test.get("name"), test.get("status")
        said = [e.get("message") or "failed" for e in test if e.tag in ("failure", "skipped")]
        verdict = said[0] if said else None
        if state == "disabled" or (state == "notrun" and (verdict or "").startswith("SKIP_")):
            out = (test.findtext("system-out") or "").strip().splitlines()
            count("skipped", run, f"{name}: {out[-1] if out else 'its DISABLED property'}")
            continue
        wrong = cases(run, name, gtest[name], verdict) if name in gtest else verdict
        if wrong:
            count("failed", run, f"{name} ({wrong}); its output is in {log}")
        elif name not in gtest:
            count("passed", run)
    if not tests or (status != "0" and counts["failed"] == failed_before):
        count("failed", run, f"ctest found no test or failed (exit status {status}); see {log}")
print(f"tests: {counts['passed']} passed, {counts['failed']} failed, {counts['skipped']} skipped")
sys.exit(1 if counts["failed"] else 0)
