#!/usr/bin/python3
"""The outcome of one ctest run as scripts/test.sh counts it.

  scripts/ctest_summary.py CONSOLE_LOG [JUNIT_XML]

CONSOLE_LOG is what ctest printed; JUNIT_XML is its --output-junit report,
which holds the output of every test, skipped ones included. ctest counts a
skipped test as passed in "N% tests passed"; here it is not. Every test that
did not run is printed with its reason,

  skipped: NAME: REASON

and a skip whose reason starts with "peer missing" (a comparison against a
peer tool that is not installed), or whose reason is not recorded, is a
failure. The last line is for the
caller: "counts: PASSED FAILED SKIPPED".
"""
import re
import sys
import xml.etree.ElementTree as ElementTree

PEER_MISSING = "peer missing"

SUMMARY = re.compile(r"^\d+% tests passed, (\d+) tests? failed out of (\d+)", re.MULTILINE)
NOT_RUN_ITEM = re.compile(r"^\s*\d+ - (.+) \((Skipped|Disabled)\)\s*$")
GTEST_SKIPPED_AT = re.compile(r"^.*:\d+: Skipped$")


def not_run(console):
    """(name, kind) of each test under "The following tests did not run:"."""
    tests = []
    inside = False
    for line in console.splitlines():
        if line.startswith("The following tests did not run:"):
            inside = True
            continue
        if inside:
            item = NOT_RUN_ITEM.match(line)
            if not item:
                break
            tests.append((item.group(1), item.group(2)))
    return tests


def gtest_reason(output):
    """The message of a GTEST_SKIP: the lines between "file:line: Skipped"
    and "[  SKIPPED ]", or None when the output holds no such skip."""
    lines = output.splitlines()
    for i, line in enumerate(lines):
        if GTEST_SKIPPED_AT.match(line):
            message = []
            for text in lines[i + 1:]:
                if text.startswith("[  SKIPPED ]"):
                    break
                if text.strip():
                    message.append(text.strip())
            return " / ".join(message)
    return None


def junit_reasons(path):
    """Test name -> why it did not run, from ctest's JUnit report."""
    reasons = {}
    for case in ElementTree.parse(path).getroot().iter("testcase"):
        output = case.findtext("system-out") or ""
        skipped = case.find("skipped")
        reason = gtest_reason(output)
        if reason is None and skipped is not None:
            # Not a GoogleTest skip (a SKIP_RETURN_CODE, say): ctest's note
            # and the last line the test printed.
            last = [line.strip() for line in output.splitlines() if line.strip()]
            reason = (last[-1] + " " if last else "") + "(" + skipped.get("message", "skipped") + ")"
        if reason is not None:
            reasons[case.get("name")] = reason
    return reasons


def summarise(console, reasons):
    """(lines to print, passed, failed, skipped)."""
    summary = SUMMARY.findall(console)
    if not summary:
        return ["test.sh: ctest printed no summary (did it run?)"], 0, 1, 0
    bad, total = (int(n) for n in summary[-1])
    lines = []
    skipped = peer_missing = unknown = counted_as_run = 0
    for name, kind in not_run(console):
        if kind == "Disabled":
            reason = "disabled in this build"
        else:
            counted_as_run += 1  # ctest's total includes skipped tests, not disabled ones
            reason = reasons.get(name)
            if reason is None:
                # It may be a missing peer: unknown counts as a failure.
                unknown += 1
                lines.append(f"skipped: {name}: reason not recorded (no JUnit report) -- a failure")
                continue
            if not reason:
                reason = "no reason given"
        if reason.startswith(PEER_MISSING):
            peer_missing += 1
            lines.append(f"skipped: {name}: {reason} -- a failure: install the peer tool")
        else:
            skipped += 1
            lines.append(f"skipped: {name}: {reason}")
    passed = total - bad - counted_as_run
    return lines, passed, bad + peer_missing + unknown, skipped


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8", errors="replace") as f:
        console = f.read()
    reasons = {}
    if len(argv) == 3:
        try:
            reasons = junit_reasons(argv[2])
        except (OSError, ElementTree.ParseError) as e:
            print(f"test.sh: cannot read the JUnit report {argv[2]}: {e}", file=sys.stderr)
    lines, passed, failed, skipped = summarise(console, reasons)
    for line in lines:
        print(line)
    print(f"counts: {passed} {failed} {skipped}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
