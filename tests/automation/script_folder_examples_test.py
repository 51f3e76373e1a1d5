#!/usr/bin/python3
"""The folder conversion examples (folder_to_flac.js, folder_to_mp3.js,
folder_to_dsf.js) run by tidemark-script on a generated folder holding two
good WAV files, a broken one and a file that is not WAV; their files are
read back by ffprobe, flac and mutagen."""
import os
import signal
import struct
import subprocess
import sys
import unittest
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from script_examples_test import EXAMPLES, SCRIPT, ScriptTestCase, write_wav16  # noqa: E402

FFPROBE = "/usr/bin/ffprobe"
FLAC = "/usr/bin/flac"


def add_title(path, title):
    """Appends a LIST/INFO chunk with INAM `title` to a WAV file."""
    text = title.encode() + b"\0"
    if len(text) % 2:
        text += b"\0"
    info = b"INFO" + b"INAM" + struct.pack("<I", len(text)) + text
    with open(path, "r+b") as f:
        f.seek(0, 2)
        f.write(b"LIST" + struct.pack("<I", len(info)) + info)
        size = f.tell() - 8
        f.seek(4)
        f.write(struct.pack("<I", size))


class FolderExamplesTest(ScriptTestCase):
    def setUp(self):
        super().setUp()
        for tool in (FFPROBE, FLAC):
            self.assertTrue(os.access(tool, os.X_OK), "peer tool missing: " + tool)
        try:
            import mutagen  # noqa: F401
        except ImportError:
            self.fail("peer missing: python3-mutagen")
        os.makedirs(self.path("in/sub.wav"))  # a folder, not a file: skipped
        write_wav16(self.path("in/a.wav"), 44100, 2, 0.5, 0.5)
        add_title(self.path("in/a.wav"), "Alpha")
        write_wav16(self.path("in/b.WAV"), 48000, 1, 0.25, 0.25)
        with open(self.path("in/broken.wav"), "wb") as f:
            f.write(b"RIFF\x10\0\0\0WAVEjunkjunkjunk")
        with open(self.path("in/notes.txt"), "w") as f:
            f.write("not sound\n")

    def probe(self, name, entries="stream=codec_name,sample_rate,channels"):
        r = subprocess.run([FFPROBE, "-v", "error", "-show_entries", entries, "-of", "default=nw=1",
                            self.path("out/" + name)], capture_output=True, text=True)
        return r.stdout

    def assert_folder_run(self, r, outputs):
        """Exit 1 (the broken file), a line per good file, the summary."""
        self.assertEqual(r.returncode, 1, r.stderr)
        for name, target in outputs:
            self.assertIn("%s -> out/%s\n" % (name, target), r.stdout)
        self.assertIn("2 file(s) written, 1 failed\n", r.stdout)
        self.assertIn("broken.wav: ", r.stderr)
        self.assertEqual(sorted(os.listdir(self.path("out"))), sorted(t for _, t in outputs))

    def test_flac_is_lossless_and_keeps_the_title(self):
        import mutagen.flac
        r = self.example("folder_to_flac.js", "in", "out/")
        self.assert_folder_run(r, [("a.wav", "a.flac"), ("b.WAV", "b.flac")])
        self.assertEqual(self.probe("a.flac", "stream=codec_name,sample_rate,channels,bits_per_raw_sample"),
                         "codec_name=flac\nsample_rate=44100\nchannels=2\nbits_per_raw_sample=16\n")
        self.assertEqual(self.probe("b.flac"), "codec_name=flac\nsample_rate=48000\nchannels=1\n")
        self.assertEqual(mutagen.flac.FLAC(self.path("out/a.flac")).get("title"), ["Alpha"])
        for name, source in (("a", "a.wav"), ("b", "b.WAV")):
            d = subprocess.run([FLAC, "-d", "-s", "-f", "-o", self.path(name + ".back.wav"),
                                self.path("out/%s.flac" % name)], capture_output=True, text=True)
            self.assertEqual(d.returncode, 0, d.stderr)
            with wave.open(self.path("in/" + source)) as w1, wave.open(self.path(name + ".back.wav")) as w2:
                self.assertEqual(w1.readframes(w1.getnframes()), w2.readframes(w2.getnframes()), name)

    def test_mp3_at_a_listed_format(self):
        import mutagen.mp3
        r = self.example("folder_to_mp3.js", "/list", "in", "out")
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stdout.splitlines()[:-2]  # before the exit line
        self.assertEqual(len(lines), 10)
        self.assertEqual((lines[0], lines[-1]), ("320 kbps, 44 kHz, stereo, CBR", " 64 kbps, 44 kHz, stereo, CBR"))
        r = self.example("folder_to_mp3.js", "/vbr", "/rate:22050", "/channels:1", "/list", "in", "out")
        self.assertEqual(r.stdout.splitlines()[0], "Quality 100, 22 kHz, mono, VBR")
        r = self.example("folder_to_mp3.js", "/format:999", "in", "out")
        self.assertEqual(r.returncode, 2)
        self.assertIn("256 kbps, 44 kHz, stereo, CBR\n", r.stderr)
        self.assertEqual(os.listdir(self.path("out")), [])
        for args, described, rate, channels, bitrate in (
                ([], "128 kbps, 44 kHz, stereo, CBR", 44100, 2, 128000),
                (["/format:192"], "192 kbps, 44 kHz, stereo, CBR", 44100, 2, 192000),
                (["/rate:22050", "/channels:1", "/format:48 KBPS, 22 kHz, mono, CBR"],
                 " 48 kbps, 22 kHz, mono, CBR", 22050, 1, 48000)):
            for name in os.listdir(self.path("out")):
                os.remove(self.path("out/" + name))
            r = self.example("folder_to_mp3.js", *args, "in", "out")
            self.assertIn("format: %s\n" % described, r.stdout)
            self.assert_folder_run(r, [("a.wav", "a.mp3"), ("b.WAV", "b.mp3")])
            for name in ("a.mp3", "b.mp3"):
                self.assertEqual(self.probe(name, "stream=codec_name,sample_rate,channels,bit_rate"),
                                 "codec_name=mp3\nsample_rate=%d\nchannels=%d\nbit_rate=%d\n" % (rate, channels, bitrate))
            self.assertEqual(str(mutagen.mp3.MP3(self.path("out/a.mp3")).get("TIT2")), "Alpha")

    def test_dsf_at_the_one_bit_rate(self):
        import mutagen.dsf
        r = self.example("folder_to_dsf.js", "/channels:1", "in", "out")
        self.assert_folder_run(r, [("a.wav", "a.dsf"), ("b.WAV", "b.dsf")])
        for name in ("a.dsf", "b.dsf"):
            self.assertEqual(self.probe(name), "codec_name=dsd_lsbf_planar\nsample_rate=352800\nchannels=1\n")
            info = mutagen.dsf.DSF(self.path("out/" + name)).info
            self.assertEqual((info.sample_rate, info.channels, info.bits_per_sample), (2822400, 1, 1))

    def test_refusals_and_failures(self):
        cases = (
            (["in"], 2, "", "usage: folder_to_flac.js"),
            (["missing", "out"], 1, "", "Path not found: missing"),
            (["in", "no/such/folder"], 1, "0 file(s) written, 3 failed\n", "a.wav: "),
            (["/bits:24", "/level:9", "in", "out"], 1, "", "*** ERROR ***"),
        )
        for args, status, out, err in cases:
            r = self.example("folder_to_flac.js", *args)
            self.assertEqual(r.returncode, status, args)
            self.assertIn(out, r.stdout, args)
            self.assertIn(err, r.stderr, args)
        self.assertEqual(os.listdir(self.path("out")), [])

    def test_ctrl_c_ends_the_run_between_files(self):
        for k in range(8):
            write_wav16(self.path("in/many%d.wav" % k), 44100, 2, 0.5, 2.0)
        p = subprocess.Popen([SCRIPT, os.path.join(EXAMPLES, "folder_to_dsf.js"), "in", "out"],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, cwd=self.dir.name,
                             env=self.env)
        first = p.stdout.readline()
        self.assertIn(" -> out/", first)
        p.send_signal(signal.SIGINT)
        out, err = p.communicate(timeout=120)
        self.assertEqual(p.returncode, 1, err)
        self.assertIn("*** BREAK ***", err)
        self.assertNotIn("file(s) written", out, err)
        self.assertLess(len(os.listdir(self.path("out"))), 9)


if __name__ == "__main__":
    unittest.main()
