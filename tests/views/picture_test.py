#!/usr/bin/python3
"""The pictures the console editor writes, decoded from PNG and measured
against signals of known shape: a sine's peaks and RMS band, silence, one
full-scale click, non-finite samples, a 1 kHz tone's row in the
spectrogram, a chirp's rising ridge; the sizes and forms the picture and
show commands accept; and the memory of a one-hour picture."""
import math
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import wave
import zlib

EDIT = os.environ.get("TIDEMARK_EDIT", "")

# The picture layout: a level scale this wide left of the panes when the
# picture is at least 160 wide, a time ruler this high below them when each
# channel keeps 40 rows.
SCALE_WIDTH = 30
RULER_HEIGHT = 12
PEAK = (70, 170, 110)
RMS = (150, 235, 175)


def decode_png(path):
    """(width, height, rows of (r, g, b) tuples) of an 8-bit RGB PNG."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file"
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 2), "expected 8-bit RGB"
        idat += body if kind == b"IDAT" else b""
        at += 12 + length
    raw, stride = zlib.decompress(idat), width * 3
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a, b, c = (line[i - 3] if i >= 3 else 0), prev[i], (prev[i - 3] if i >= 3 else 0)
            p = a + b - c
            paeth = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c
            line[i] = (line[i] + (0, a, b, (a + b) // 2, paeth)[kind]) & 255
        rows.append([tuple(line[x * 3:x * 3 + 3]) for x in range(width)])
        prev = line
    return width, height, rows


def write_wav16(path, rate, channels, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", max(-32768, min(32767, int(round(s * 32768))))) for s in samples))


def write_wav_float(path, rate, samples):
    data = struct.pack("<%df" % len(samples), *samples)
    fmt = struct.pack("<HHIIHH", 3, 1, rate, rate * 4, 4, 32)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data)


def row_of(level, top, bottom):
    """The pane row of level -1..1 (the documented mapping)."""
    return top + int(math.floor((1 - level) * (bottom - top - 1) / 2 + 0.5))


class PictureTest(unittest.TestCase):
    def setUp(self):
        self.assertTrue(EDIT and os.access(EDIT, os.X_OK), "TIDEMARK_EDIT must name the console editor")
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def run_edit(self, lines):
        return subprocess.run([EDIT], input="\n".join(lines) + "\n", capture_output=True, text=True,
                              cwd=self.dir.name, timeout=300)

    def picture(self, wav, args):
        out = self.path("p.png")
        r = self.run_edit(["open " + wav, "picture " + out + " " + args])
        self.assertEqual(r.returncode, 0, r.stderr)
        return decode_png(out)

    def wave_rows(self, rows, x, top, bottom, colours=(PEAK, RMS)):
        return [y for y in range(top, bottom) if rows[y][x] in colours]

    def test_waveform_columns_of_known_signals(self):
        rate, frames = 8000, 8000
        sine = [0.5 * math.sin(2 * math.pi * 1000 * i / rate) for i in range(frames)]  # 1 kHz: peaks on samples
        click = [0.0] * frames
        click[4000] = 32767 / 32768
        cases = [("sine", sine, ""), ("sine_db", sine, "scale=db range=60"), ("silence", [0.0] * frames, ""),
                 ("click", click, "")]
        for name, samples, options in cases:
            with self.subTest(name):
                wav = self.path(name + ".wav")
                write_wav16(wav, rate, 1, samples)
                width, height, rows = self.picture(wav, "waveform 430x100 " + options)  # 20 frames a column
                self.assertEqual((width, height), (430, 100))
                bottom = height - RULER_HEIGHT
                centre = row_of(0, 0, bottom)
                for x in range(SCALE_WIDTH, width):
                    column = x - SCALE_WIDTH
                    lit = self.wave_rows(rows, x, 0, bottom)
                    if name == "sine":
                        want = (row_of(0.5, 0, bottom), row_of(-0.5, 0, bottom))
                        rms = self.wave_rows(rows, x, 0, bottom, (RMS,))
                        self.assertAlmostEqual(rms[0], row_of(0.5 / math.sqrt(2), 0, bottom), delta=1)
                        self.assertAlmostEqual(rms[-1], row_of(-0.5 / math.sqrt(2), 0, bottom), delta=1)
                    elif name == "sine_db":
                        level = 1 - 20 * math.log10(0.5) / -60
                        want = (row_of(level, 0, bottom), row_of(-level, 0, bottom))
                    elif name == "click" and column == 200:
                        want = (row_of(1.0, 0, bottom), centre)
                    else:
                        want = (centre, centre)
                    self.assertEqual((lit[0], lit[-1]), want, "column %d" % column)
                    self.assertEqual(len(lit), lit[-1] - lit[0] + 1, "a gap in column %d" % column)

    def test_non_finite_samples_are_drawn_clipped_and_do_not_spread(self):
        rate, frames = 8000, 8000
        samples = [0.0] * frames
        samples[1000] = float("nan")   # column 50
        samples[3000] = float("inf")   # column 150
        samples[5000] = float("-inf")  # column 250
        wav = self.path("nonfinite.wav")
        write_wav_float(wav, rate, samples)
        for kind in ("waveform", "spectrogram"):
            r = self.run_edit(["open " + wav, "picture %s %s 430x100" % (self.path(kind + ".png"), kind)])
            self.assertEqual(r.returncode, 0, r.stderr)
        width, height, rows = decode_png(self.path("waveform.png"))
        bottom = height - RULER_HEIGHT
        centre = row_of(0, 0, bottom)
        for column in range(400):
            lit = self.wave_rows(rows, SCALE_WIDTH + column, 0, bottom)
            want = {150: (0, centre), 250: (centre, bottom - 1)}.get(column, (centre, centre))
            self.assertEqual((lit[0], lit[-1]), want, "column %d" % column)

    def brightest_rows(self, rows, top, bottom, columns):
        """For each column, the pane row (0 the bottom) of the brightest pixel."""
        out = []
        for x in columns:
            values = [sum(rows[y][x]) for y in range(top, bottom)]
            out.append(bottom - 1 - (top + values.index(max(values))))
        return out

    def test_spectrogram_of_a_tone_and_a_chirp(self):
        rate = 44100
        tone = self.path("tone.wav")
        write_wav16(tone, rate, 1, [0.5 * math.sin(2 * math.pi * 1000 * i / rate) for i in range(rate * 2)])
        for scale in ("linear", "log"):
            with self.subTest(scale):
                width, height, rows = self.picture(tone, "spectrogram 430x300 freq=" + scale)
                pane = height - RULER_HEIGHT
                if scale == "linear":
                    want = math.floor(1000 / (rate / 2) * pane)
                else:
                    f0 = max(20, rate / 2048)
                    want = math.floor(math.log(1000 / f0) / math.log(rate / 2 / f0) * pane)
                for row in self.brightest_rows(rows, 0, pane, range(SCALE_WIDTH + 5, width - 5, 7)):
                    self.assertAlmostEqual(row, want, delta=1)

        chirp_rate, seconds = 16000, 4
        f_start, f_end = 200, 6000
        phase, samples = 0.0, []
        for i in range(chirp_rate * seconds):
            f = f_start + (f_end - f_start) * i / (chirp_rate * seconds)
            phase += 2 * math.pi * f / chirp_rate
            samples.append(0.5 * math.sin(phase))
        chirp = self.path("chirp.wav")
        write_wav16(chirp, chirp_rate, 1, samples)
        width, height, rows = self.picture(chirp, "spectrogram 430x300 fft=1024 overlap=75 window=blackman-harris")
        pane = height - RULER_HEIGHT
        ridge = self.brightest_rows(rows, 0, pane, range(SCALE_WIDTH + 2, width - 2))
        for a, b in zip(ridge, ridge[1:]):
            self.assertGreaterEqual(b, a, "the ridge falls: %s" % ridge)
        self.assertAlmostEqual(ridge[0], f_start / (chirp_rate / 2) * pane, delta=3)
        self.assertAlmostEqual(ridge[-1], f_end / (chirp_rate / 2) * pane, delta=3)

    def test_sizes_forms_and_bad_input(self):
        wav = self.path("short.wav")
        write_wav16(wav, 8000, 2, [0.25] * 2000)
        width, height, _ = self.picture(wav, "spectrogram 123x45")
        self.assertEqual((width, height), (123, 45))
        width, height, _ = self.picture(wav, "waveform 17x9 10f 11f")  # one frame, no scale or ruler
        self.assertEqual((width, height), (17, 9))
        refused = ["0x10", "10x0", "-5x10", "16385x10", "10x16385", "10x", "waveform 100x100 1", "fft=100",
                   "fft=32768", "fft=3000", "overlap=96", "window=box", "range=0", "colour=red", "0.2 0.1",
                   "100x100 0 0.1 0.2"]
        for args in refused:
            with self.subTest(args):
                out = self.path("refused.png")
                r = self.run_edit(["open " + wav, "picture %s %s" % (out, args)])
                self.assertEqual(r.returncode, 1, args)
                self.assertNotEqual(r.stderr, "", args)
                self.assertFalse(os.path.exists(out), args)
        r = self.run_edit(["open " + wav, "picture " + self.path("no/such/folder/x.png")])
        self.assertEqual(r.returncode, 1)
        self.assertIn("error", r.stderr)
        # A document without frames draws nothing and is not a failure.
        r = self.run_edit(["new 44100 2", "picture " + self.path("empty.png"), "show 80"])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertFalse(os.path.exists(self.path("empty.png")))

    def test_show_draws_nothing_into_a_pipe_unless_asked(self):
        wav = self.path("show.wav")
        write_wav16(wav, 8000, 1, [0.5 * math.sin(i / 3) for i in range(8000)])
        r = self.run_edit(["open " + wav, "show"])
        self.assertEqual((r.returncode, r.stdout), (0, ""), r.stderr)
        r = self.run_edit(["open " + wav, "show 40 3"])
        lines = r.stdout.splitlines()
        self.assertEqual(len(lines), 3 + 2)
        self.assertTrue(all(len(line) == 40 for line in lines), lines)
        self.assertTrue(all("\u2800" <= c <= "\u28ff" for c in lines[0][2:]))
        env = dict(os.environ, COLUMNS="50")
        r = subprocess.run([EDIT], input="open %s\nshow force\n" % wav, capture_output=True, text=True, env=env)
        self.assertEqual(len(r.stdout.splitlines()[0]), 50)

    def peak_rss_kib(self, lines):
        """Peak resident memory of one editor run, from the kernel's account of the child."""
        proc = subprocess.Popen([EDIT], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                cwd=self.dir.name)
        proc.stdin.write(("\n".join(lines) + "\n").encode())
        proc.stdin.close()
        _, status, usage = os.wait4(proc.pid, 0)
        proc.returncode = os.waitstatus_to_exitcode(status)
        self.assertEqual(proc.returncode, 0, proc.stderr.read().decode())
        proc.stderr.close()
        return usage.ru_maxrss

    def test_an_hour_renders_in_the_memory_of_a_minute(self):
        rate = 8000
        wav = self.path("segment.wav")
        write_wav16(wav, rate, 1, [0.4 * math.sin(2 * math.pi * 440 * i / rate) for i in range(rate * 15)])

        def run(total_seconds, repeat):
            # 15 s of tone, doubled by pasting `repeat` times, then silence up to the length.
            lines = ["open " + wav]
            for _ in range(repeat):
                lines += ["select all", "copy", "paste"]
            rest = total_seconds - 15 * 2 ** repeat
            if rest > 0:
                lines += ["select 0 0", "insert-silence %d" % (rest * 1000)]
            lines += ["select 0 0", "picture w.png 1200x400", "picture s.png spectrogram 1200x400"]
            return self.peak_rss_kib(lines)

        minute, hour = run(60, 2), run(3600, 2)
        self.assertLess(abs(hour - minute), 3 * 1024, "peak RSS: minute %d KiB, hour %d KiB" % (minute, hour))
        # The whole hour as float samples would be 112 MiB; a picture holding it could not pass.
        self.assertLess(hour, 100 * 1024)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[1:], verbosity=2)
