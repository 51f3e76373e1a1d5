#!/usr/bin/python3
"""tidemark-script end to end: the example batch scripts on generated sound
files, with their files and output checked, and the program's streams and
exit status."""
import math
import os
import struct
import subprocess
import tempfile
import unittest
import wave

SCRIPT = os.environ.get("TIDEMARK_SCRIPT", "")
EDIT = os.environ.get("TIDEMARK_EDIT", "")
EXAMPLES = os.path.join(os.environ.get("TIDEMARK_SOURCE_DIR", ""), "examples", "scripts")


def write_wav16(path, rate, channels, amplitude, seconds, freq=441.0):
    frames = int(rate * seconds)
    data = bytearray()
    for n in range(frames):
        v = int(round(amplitude * 32767 * math.sin(2 * math.pi * freq * n / rate)))
        data += struct.pack("<h", v) * channels
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(data))


def read_wav(path):
    """(rate, channels, sample width, frames, peak as a fraction of full scale)."""
    with wave.open(path, "rb") as w:
        width, ch, rate, n = w.getsampwidth(), w.getnchannels(), w.getframerate(), w.getnframes()
        raw = w.readframes(n)
    peak = 0
    for i in range(0, len(raw), width):
        chunk = raw[i:i + width]
        v = int.from_bytes(chunk, "little", signed=True)
        peak = max(peak, abs(v))
    return rate, ch, width, n, peak / float(1 << (8 * width - 1))


class ScriptTestCase(unittest.TestCase):
    """A scratch folder with its own settings, and tidemark-script run in it."""

    def setUp(self):
        self.assertTrue(SCRIPT and os.access(SCRIPT, os.X_OK), "TIDEMARK_SCRIPT must name tidemark-script")
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.env = dict(os.environ, HOME=self.dir.name, XDG_CONFIG_HOME=self.path("config"))
        os.makedirs(self.path("config"))
        os.makedirs(self.path("out"))

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def run_script(self, script, *args):
        return subprocess.run([SCRIPT, script] + list(args), capture_output=True, text=True, cwd=self.dir.name,
                              env=self.env, timeout=120)

    def example(self, name, *args):
        return self.run_script(os.path.join(EXAMPLES, name), *args)

    def write(self, name, text):
        with open(self.path(name), "w") as f:
            f.write(text)
        return self.path(name)


class ScriptProgramTest(ScriptTestCase):
    def samples(self):
        write_wav16(self.path("a.wav"), 44100, 2, 0.5, 1.0)
        write_wav16(self.path("b.wav"), 22050, 1, 0.25, 2.0)

    def test_convert_writes_every_file_in_the_format_asked(self):
        self.samples()
        r = self.example("convert.js", "/format:Wave24", "/out:out", "a.wav", "b.wav")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("2 file(s) converted\n", r.stdout)
        self.assertTrue(r.stdout.endswith("*** EXIT ***\nconvert.js exit code 0\n"), r.stdout)
        for name, rate, ch, frames in (("a.wav", 44100, 2, 44100), ("b.wav", 22050, 1, 44100)):
            got = read_wav(self.path("out/" + name))
            self.assertEqual(got[:4], (rate, ch, 3, frames))
        r = self.example("convert.js", "a.wav")
        self.assertEqual(r.returncode, 2)
        self.assertIn("/format:WORD", r.stderr)

    def test_encode_writes_flac_mp3_and_dsf(self):
        self.samples()
        for writer, args, ext, expected in (
                ("flac", [], ".flac", "codec_name=flac\nsample_rate=44100\nchannels=2\n"),
                ("lame", ["/format:5"], ".mp3", "codec_name=mp3\nsample_rate=44100\nchannels=2\n"),
                ("1bit", [], ".dsf", "codec_name=dsd_lsbf_planar\nsample_rate=352800\nchannels=2\n")):
            r = self.example("encode.js", "/writer:" + writer, "/out:out", *args, "a.wav")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn("1 file(s) encoded\n", r.stdout)
            if writer == "lame":
                self.assertIn("format: 128 kbps, 44 kHz, stereo, CBR\n", r.stdout)
            probe = subprocess.run(["/usr/bin/ffprobe", "-v", "error", "-show_entries",
                                    "stream=codec_name,sample_rate,channels", "-of", "default=nw=1",
                                    self.path("out/a" + ext)], capture_output=True, text=True)
            self.assertEqual(probe.stdout, expected, writer)
        r = self.example("encode.js", "/writer:wav", "a.wav")
        self.assertEqual(r.returncode, 2)

    def test_split_at_markers_writes_numbered_pieces(self):
        self.samples()
        self.write("labels.txt", "0.5\tone\n# comment\n1.25\ttwo\tsecond\nnot a label\n")
        r = self.example("add_labels.js", "b.wav", "labels.txt", "/out:out")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("2 label(s) added, 2 in all\n", r.stdout)
        self.assertIn("line 4 skipped", r.stderr)
        r = self.example("split_at_markers.js", "/out:out", "out/b.wav")
        self.assertEqual(r.returncode, 0, r.stderr)
        lengths = [int(read_wav(self.path("out/b_%02d.wav" % k))[3]) for k in (1, 2, 3)]
        self.assertEqual(sum(lengths), 44100)
        self.assertAlmostEqual(lengths[0], 11025, delta=1)
        self.assertAlmostEqual(lengths[1], 16537, delta=2)
        self.assertFalse(os.path.exists(self.path("out/b_04.wav")))

    def test_normalize_and_table_report_the_new_peaks(self):
        self.samples()
        r = self.example("normalize.js", "/peak:-3", "/out:out", "a.wav", "b.wav")
        self.assertEqual(r.returncode, 0, r.stderr)
        for name in ("a.wav", "b.wav"):
            peak = read_wav(self.path("out/" + name))[4]
            self.assertAlmostEqual(20 * math.log10(peak), -3.0, delta=0.01)
        r = self.example("table.js", "out/a.wav", "out/b.wav", "missing.wav")
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stdout.splitlines()
        self.assertEqual(lines[0], "file\tformat\trate\tchannels\tseconds\tpeak dBFS\trms dBFS")
        rows = [line.split("\t") for line in lines[1:3]]
        self.assertEqual(rows[0][:6], ["a.wav", "Wave16", "44100", "2", "1.000", "-3.00"])
        self.assertEqual(rows[1][:6], ["b.wav", "Wave16", "22050", "1", "2.000", "-3.00"])
        for row in rows:  # a sine's RMS is 3.01 dB below its peak
            self.assertAlmostEqual(float(row[6]), -3.0 - 3.01, delta=0.05)
        self.assertIn("missing.wav: ", r.stderr)

    def test_apply_chain_runs_a_chain_made_in_the_editor(self):
        self.assertTrue(EDIT and os.access(EDIT, os.X_OK), "TIDEMARK_EDIT must name the console editor")
        self.samples()
        r = subprocess.run([EDIT], input="chain new Louder\nchain add Louder Volume gain=6\n", capture_output=True,
                           text=True, cwd=self.dir.name, env=self.env, timeout=120)
        self.assertEqual(r.returncode, 0, r.stderr)
        r = self.example("apply_chain.js", "/chain:Louder", "/out:out", "a.wav", "b.wav")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertAlmostEqual(20 * math.log10(read_wav(self.path("out/a.wav"))[4]), -6.02 + 6, delta=0.05)
        self.assertAlmostEqual(20 * math.log10(read_wav(self.path("out/b.wav"))[4]), -12.04 + 6, delta=0.05)
        r = self.example("apply_chain.js", "/chain:NoSuchChain", "/out:out", "a.wav")
        self.assertEqual(r.returncode, 1)
        self.assertIn("a.wav: ", r.stderr)

    def test_streams_and_exit_status(self):
        cases = [
            ("Script.Echo('out'); Script.StdErr.WriteLine('err'); Script.Quit(7);", 7,
             "out\n*** EXIT ***\ns.js exit code 7\n", "err\n"),
            ("Script.Echo(1);\nnosuch();", 1, "1\n", "*** ERROR ***\nFile: s.js\nLine, column: 2, 1\n"),
            ("Script.Echo(Script.Arguments.length, Script.Arguments(0), Script.Arguments.Unnamed.length);", 0,
             "2 a b %HOME% 1\n*** EXIT ***\ns.js exit code 0\n", ""),
        ]
        for text, status, out, err in cases:
            self.write("s.js", text)
            r = self.run_script("s.js", "a b %HOME%", "/x:1")
            self.assertEqual(r.returncode, status, r.stderr)
            self.assertEqual(r.stdout, out)
            self.assertTrue(r.stderr.startswith(err), r.stderr)

    def test_refusals(self):
        self.write("s.vbs", "WScript.Echo 1")
        for args in (["s.vbs"], ["missing.js"], ["noextension"]):
            r = subprocess.run([SCRIPT] + args, capture_output=True, text=True, cwd=self.dir.name, env=self.env,
                               timeout=60)
            self.assertEqual(r.returncode, 1, args)
            self.assertEqual(r.stdout, "")
            self.assertNotEqual(r.stderr, "")
        r = subprocess.run([SCRIPT], capture_output=True, text=True, env=self.env, timeout=60)
        self.assertEqual(r.returncode, 2)

    def test_huge_output_arrives_whole(self):
        self.write("s.js", "for (var i = 0; i < 20000; ++i) Script.Echo(i, 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx');")
        r = self.run_script("s.js")
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stdout.splitlines()
        self.assertEqual(len(lines), 20002)
        self.assertEqual(lines[19999], "19999 " + "x" * 40)


if __name__ == "__main__":
    unittest.main()
