#!/usr/bin/python3
"""delete-silence and saveas through the console editor against sox's silence.

Makes a 10-minute 44.1 kHz stereo 16-bit WAV file (in a temporary folder)
of speech-like bursts (noise shaped into syllables of about 4 Hz) and pauses
of 0.2 to 2.5 s of faint noise (peaks at -62 dB), then times, in one run of
tidemark with a command file,

  delete-silence -40 500
  saveas OUT Wave16

against `sox in.wav out.wav silence 1 0.1 1% -1 0.5 1%`. sox's threshold
is an amplitude of 1 % (-40 dB) and it removes pauses longer than 0.5 s, so
the two should keep about the same length; the lengths are printed as a
sanity check, not compared exactly (the rules differ in detail).

  bench/silence_bench.py [--program PATH] [--folder DIR] [--minutes 10] [--runs 3]

Times are medians of the runs, each including the sync of the file written.
"""
import array
import math
import os
import random
import shutil
import sys
import wave

from bench_common import RATE, median_time, parse_args, scratch_folder, sync


def material(seconds, rng, shape):
    """`seconds` of stereo 16-bit noise, each sample scaled by shape(t)."""
    out = array.array("h")
    for i in range(int(seconds * RATE)):
        level = shape(i / RATE)
        out.append(int(rng.uniform(-1, 1) * level * 32767))
        out.append(int(rng.uniform(-1, 1) * level * 32767))
    return out


def write_wave(path, minutes, seed=25):
    """Bursts and pauses cut from a few seconds of material made once."""
    rng = random.Random(seed)
    # Syllables: a raised sine of about 4 Hz over noise at 0.1 to 0.4 of full scale.
    speech = material(6.0, rng, lambda t: (0.25 + 0.15 * math.sin(0.7 * t)) * (0.55 - 0.45 * math.cos(2 * math.pi * 4.1 * t)))
    hush = material(3.0, rng, lambda t: 0.0008)
    frames = int(minutes * 60 * RATE)
    data = bytearray()
    written = 0
    while written < frames:
        talking = len(data) == 0 or rng.random() < 0.5
        source = speech if talking else hush
        seconds = rng.uniform(0.3, 5.0) if talking else rng.uniform(0.2, 2.5)
        n = min(int(seconds * RATE), len(source) // 2, frames - written)
        start = rng.randrange(0, len(source) // 2 - n + 1)
        data += source[2 * start:2 * (start + n)].tobytes()
        written += n
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(data))
    sync(path)
    return frames


def seconds_of(path):
    with wave.open(path, "rb") as w:
        return w.getnframes() / w.getframerate()


def main():
    args = parse_args(__doc__)
    if shutil.which("sox") is None:
        sys.exit("sox is missing: the comparison needs it")

    with scratch_folder("silence_bench_", args.folder) as folder:
        src, ours, theirs = (os.path.join(folder, n) for n in ("in.wav", "ours.wav", "sox.wav"))
        frames = write_wave(src, args.minutes)
        print("%g min 44.1 kHz stereo 16-bit WAV (%.1f MB) of bursts and pauses, median of %d runs:"
              % (args.minutes, os.path.getsize(src) / 1e6, args.runs))
        script = "delete-silence -40 500\nsaveas %s Wave16\n" % ours
        t, why = median_time([args.program, src], script, ours, args.runs)
        if t is None:
            sys.exit("tidemark failed: %s" % why)
        sox = ["sox", "-V1", "-D", src, theirs, "silence", "1", "0.1", "1%", "-1", "0.5", "1%"]
        ts, why = median_time(sox, None, theirs, args.runs)
        if ts is None:
            sys.exit("sox failed: %s" % why)
        print("  delete-silence + saveas  tidemark %6.2f s   sox %6.2f s   sox/tidemark %5.2fx"
              % (t.wall, ts.wall, ts.wall / t.wall))
        print("  length kept: input %.1f s, tidemark %.1f s, sox %.1f s"
              % (frames / RATE, seconds_of(ours), seconds_of(theirs)))


if __name__ == "__main__":
    main()
