#!/usr/bin/python3
"""scripts/ctest_summary.py over a captured ctest run (data/ctest_skips.*:
a GoogleTest binary with a peer-missing skip, a skip with a reason, one
without, a pass and a failure, plus a SKIP_RETURN_CODE test and a disabled
one) and over made-up variants of it."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.environ.get("TIDEMARK_SOURCE_DIR") or os.path.dirname(os.path.dirname(HERE))
SCRIPT = os.path.join(ROOT, "scripts", "ctest_summary.py")
LOG = os.path.join(HERE, "data", "ctest_skips.log")
XML = os.path.join(HERE, "data", "ctest_skips.xml")


def run(*args):
    done = subprocess.run([sys.executable, SCRIPT, *args], capture_output=True, text=True, check=True)
    lines = done.stdout.splitlines()
    counts = lines[-1].split()
    assert counts[0] == "counts:", lines
    return lines[:-1], tuple(int(n) for n in counts[1:])


def with_text(text, suffix=".log"):
    f = tempfile.NamedTemporaryFile("w", suffix=suffix, delete=False)
    f.write(text)
    f.close()
    return f.name


class CtestSummaryTest(unittest.TestCase):
    def test_every_skip_is_listed_with_its_reason(self):
        lines, _ = run(LOG, XML)
        self.assertEqual(lines, [
            "skipped: Peers.SoxRoundTrip: peer missing: /usr/bin/sox -- a failure: install the peer tool",
            "skipped: Formats.LargeFile: the sanitizer build does not write 4 GiB files",
            "skipped: Formats.Quiet: no reason given",
            "skipped: Scripts.NoDisk: not enough free disk (SKIP_RETURN_CODE=77)",
            "skipped: Scripts.Off: disabled in this build",
        ])

    def test_skips_are_not_passes_and_a_missing_peer_is_a_failure(self):
        # ctest says "83% tests passed, 1 tests failed out of 6": five of
        # its six "passed" tests include four skips.
        _, counts = run(LOG, XML)
        self.assertEqual(counts, (1, 2, 4))  # passed, failed, skipped

    def test_without_the_report_an_unexplained_skip_fails(self):
        lines, counts = run(LOG)
        self.assertEqual(counts, (1, 5, 1))
        self.assertIn("skipped: Peers.SoxRoundTrip: reason not recorded (no JUnit report) -- a failure", lines)
        self.assertIn("skipped: Scripts.Off: disabled in this build", lines)
        # A report that cannot be read is the same as none.
        self.assertEqual(run(LOG, with_text("<testsuite", ".xml"))[1], (1, 5, 1))

    def test_a_clean_run_and_a_run_without_summary(self):
        clean = with_text("Test project /b\n1/2 Test #1: A.B ... Passed\n\n"
                          "100% tests passed, 0 tests failed out of 2\n\nTotal Test time (real) = 0.1 sec\n")
        self.assertEqual(run(clean), ([], (2, 0, 0)))
        self.assertEqual(run(with_text("ninja: build stopped\n")),
                         (["test.sh: ctest printed no summary (did it run?)"], (0, 1, 0)))

    def test_multi_line_skip_messages_are_joined(self):
        with open(XML, encoding="utf-8") as f:
            xml = f.read()
        xml = xml.replace("the sanitizer build does not write 4 GiB files",
                          "too little free disk:\n  needs 5 GiB")
        lines, counts = run(LOG, with_text(xml, ".xml"))
        self.assertIn("skipped: Formats.LargeFile: too little free disk: / needs 5 GiB", lines)
        self.assertEqual(counts, (1, 2, 4))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[1:], verbosity=2)
