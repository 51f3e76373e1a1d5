#!/usr/bin/python3
"""The folders' layering: what each library folder may depend on, what its
CMake file declares, and what its sources really include.

Three rules, each a failure when broken:
  1. A folder's CMake file links only libraries of folders that the layering
     below allows it.
  2. Every "folder/..." include of a source file names its own folder or one
     its CMake file links (tests/X and bench may use what X may use).
  3. A header below a folder named internal/ is included only from its own
     library folder, that folder's tests, the fuzz targets and the
     benchmarks.
"""
import os
import re
import sys
import unittest

ROOT = os.environ.get("TIDEMARK_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The layering, lowest first. Folders that later work adds are named already,
# so that their first CMake file is held to it.
ALLOWED = {
    "platform": set(),
    "dsp": {"platform"},
    "config": {"platform"},
    "core": {"platform", "dsp"},
    "formats": {"core", "dsp", "platform"},
    "codecs": {"formats", "core", "dsp", "config", "platform"},
    "effects": {"core", "dsp", "config", "platform"},
    "playback": {"core", "dsp", "config", "platform"},
    "views": {"core", "dsp", "config", "platform"},
    "automation": {"effects", "codecs", "formats", "core", "dsp", "config", "platform"},
    "app": {"automation", "views", "playback", "effects", "codecs", "formats", "core", "dsp", "config",
            "platform"},
}

LIBRARY_OF_TARGET = {"tidemark_" + name: name for name in ALLOWED}
LIBRARY_OF_TARGET["tidemark_console"] = "app"

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCE = re.compile(r"\.(h|hpp|cpp|cc|inc)$")


def declared_links(folder):
    """The project libraries that `folder`'s CMake file links."""
    path = os.path.join(ROOT, folder, "CMakeLists.txt")
    with open(path, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"#[^\n]*", "", text)
    linked = set()
    for call in re.findall(r"target_link_libraries\s*\(([^)]*)\)", text):
        for word in call.split()[1:]:
            if word in LIBRARY_OF_TARGET:
                linked.add(LIBRARY_OF_TARGET[word])
    linked.discard(folder)
    return linked


def sources_below(folder):
    for base, dirs, files in os.walk(os.path.join(ROOT, folder)):
        dirs[:] = [d for d in dirs if d not in ("corpus", "crashes")]
        for name in files:
            if SOURCE.search(name):
                yield os.path.join(base, name)


def includes_of(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return INCLUDE.findall(f.read())


def existing_libraries():
    return [f for f in ALLOWED if os.path.isfile(os.path.join(ROOT, f, "CMakeLists.txt"))]


class LayeringTest(unittest.TestCase):
    def test_every_library_folder_is_known(self):
        self.assertTrue(existing_libraries(), "no library folder found below " + ROOT)
        for name in ("platform", "dsp", "config", "core", "formats", "app"):
            self.assertIn(name, existing_libraries())

    def test_declared_links_follow_the_layering(self):
        for folder in existing_libraries():
            extra = declared_links(folder) - ALLOWED[folder]
            self.assertFalse(extra, f"{folder}/CMakeLists.txt links {sorted(extra)}, which lie above it")

    def test_includes_follow_the_declared_links(self):
        problems = []
        checked = 0
        for folder in existing_libraries():
            allowed = declared_links(folder) | {folder}
            for path in sources_below(folder):
                for inc in includes_of(path):
                    top = inc.split("/", 1)[0]
                    if top in ALLOWED and top not in allowed:
                        problems.append(f"{os.path.relpath(path, ROOT)} includes {inc}")
                    checked += 1
        self.assertGreater(checked, 500)
        self.assertFalse(problems, "includes outside the declared dependencies:\n" + "\n".join(problems))

    def test_tests_use_only_what_their_folder_may_use(self):
        problems = []
        for folder in existing_libraries():
            allowed = declared_links(folder) | {folder}
            for path in sources_below(os.path.join("tests", folder)):
                for inc in includes_of(path):
                    top = inc.split("/", 1)[0]
                    if top in ALLOWED and top not in allowed:
                        problems.append(f"{os.path.relpath(path, ROOT)} includes {inc}")
        self.assertFalse(problems, "tests reaching above their folder:\n" + "\n".join(problems))

    def test_internal_headers_stay_inside_their_library(self):
        problems = []
        internal_seen = 0
        for top in existing_libraries() + ["tests", "bench"]:
            for path in sources_below(top):
                rel = os.path.relpath(path, ROOT)
                for inc in includes_of(path):
                    if "/internal/" not in inc:
                        continue
                    internal_seen += 1
                    owner = inc.split("/", 1)[0]
                    if rel.startswith(owner + "/") or rel.startswith("tests/" + owner + "/"):
                        continue
                    if rel.startswith("tests/fuzz/") or rel.startswith("bench/"):
                        continue  # fuzz targets and benchmarks drive internals directly
                    problems.append(f"{rel} includes {inc}")
        self.assertGreater(internal_seen, 0)
        self.assertFalse(problems, "internal headers used from outside their library:\n" + "\n".join(problems))

    def test_the_rules_catch_a_bad_include(self):
        # The include pattern and the folder split on a made-up line.
        self.assertEqual(INCLUDE.findall('#include "formats/wav/internal/x.h"\n'), ["formats/wav/internal/x.h"])
        self.assertNotIn("formats", declared_links("core"))
        self.assertIn("core", declared_links("formats"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[1:], verbosity=2)
