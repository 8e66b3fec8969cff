#!/usr/bin/env python3
"""The closing line of ./run.sh test, from what each ctest run left in the
results folder: RUN.xml (ctest's JUnit file), RUN.status (its exit status)
and RUN.log; RUN.skip holds why a whole run was left out. Lists every
failure and skip, then prints `tests: P passed, F failed, S skipped`.
Exit status 1 when anything failed. usage: test-summary.py <results>"""
import pathlib, re, sys, xml.etree.ElementTree as ET

results = pathlib.Path(sys.argv[1])
counts = {"passed": 0, "failed": 0, "skipped": 0}
def count(state, run, what):
    counts[state] += 1
    print(f"{state} ({run}): {what}") if state != "passed" else None

for skip in sorted(results.glob("*.skip")):
    count("skipped", skip.stem, skip.read_text().strip())
for status_file in sorted(results.glob("*.status")):
    run, status = status_file.stem, status_file.read_text().strip()
    log = results / f"{run}.log"
    text = log.read_text(errors="replace") if log.exists() else "(no log)"
    try:  # a truncated file does not parse: none of it counts
        cases, why = list(ET.parse(results / f"{run}.xml").getroot().iter("testcase")), "no test ran"
    except (OSError, ET.ParseError) as error:
        cases, why = [], f"its JUnit file is missing or damaged ({error})"
    if not cases:
        end = "\n".join("    " + line for line in text.splitlines()[-5:])
        count("failed", run, f"{why} (exit status {status}); the end of {log}:\n{end}")
        continue
    failed = 0
    for case in cases:
        name, state, out = case.get("name"), case.get("status"), case.findtext("system-out") or ""
        message = case.find("skipped").get("message", "") if case.find("skipped") is not None else ""
        if state == "run":
            # A GoogleTest case that skipped itself inside a passing program.
            skips = re.findall(r"^\[ RUN      \] (\S+)\n(?:.*\n)*?.*: Skipped\n(.*)\n(?:.*\n)*?\[  SKIPPED \] \1 ",
                               out, re.M)
            for test, reason in skips:
                count("skipped", run, f"{name}: {test}: {reason.strip() or 'no reason given'}")
            if not (skips and "[  PASSED  ] 0 tests." in out):
                count("passed", run, name)
        elif state == "disabled" or (state == "notrun" and message.startswith("SKIP_")):
            count("skipped", run, f"{name}: {message or 'disabled'}")
        else:
            failed += 1
            verdict = re.search(rf"Test +#\d+: {re.escape(name)} \.*\s*\*+(.+?) +[\d.]+ sec", text)
            cases = dict.fromkeys(re.findall(r"^\[  FAILED  \] ([^\s,]+).* \(\d+ ms\)$", out, re.M))  # the GoogleTest cases inside
            why = ", ".join([verdict.group(1) if verdict else message or "failed"] + list(cases))
            count("failed", run, f"{name} ({why}); its output is in {log}")
    if status != "0" and not failed:
        count("failed", run, f"ctest ended with status {status} though no test failed; see {log}")
print(f"tests: {counts['passed']} passed, {counts['failed']} failed, {counts['skipped']} skipped")
sys.exit(1 if counts["failed"] else 0)
