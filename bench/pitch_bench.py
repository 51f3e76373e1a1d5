#!/usr/bin/python3
"""Pitch change and time stretch through the console editor against sox.

Each case opens a 10-minute 44.1 kHz stereo 16-bit WAV file (made here,
noise), changes pitch or speed of all of it and saves it as 16-bit WAV, in
one run of tidemark with a command file; sox does the nearest
equivalent in one run of its own:

  effect pitchchange pitch=700   sox speed 1.49831 (resampled, length changes)
  stretch 2                      sox tempo -s 2     (WSOLA, speech)
  stretch 0.5 smooth             sox tempo 0.5
  pitch-speed 1.5 1 music        sox pitch 702      (length kept)
  pitch-speed 1.25 0.8           sox pitch 386 tempo 0.8

  bench/pitch_bench.py [--program PATH] [--folder DIR] [--minutes 10] [--runs 3]

Times are medians of the runs, each including the sync of the file written;
the ratio is sox's time over ours (above 1: we are faster). Also printed: x
realtime of ours.
"""
import os
import shlex
import shutil
import sys

from bench_common import RATE, median_time, parse_args, scratch_folder, write_noise_wave

CASES = [
    ("effect pitchchange pitch=700", ["speed", "1.49831"]),
    ("stretch 2", ["tempo", "-s", "2"]),
    ("stretch 0.5 smooth", ["tempo", "0.5"]),
    ("pitch-speed 1.5 1 music", ["pitch", "702"]),
    ("pitch-speed 1.25 0.8", ["pitch", "386", "tempo", "0.8"]),
]


def ours(program, src, dst, command):
    lines = ["select all", command, "saveas " + shlex.quote(dst) + " Wave16"]
    return [program, src], "\n".join(lines) + "\n"


def main():
    args = parse_args(__doc__)
    have_sox = shutil.which("sox") is not None
    with scratch_folder("pitch_bench_", args.folder) as folder:
        src, dst, sox_dst = (os.path.join(folder, n) for n in ("in.wav", "ours.wav", "sox.wav"))
        frames = write_noise_wave(src, int(args.minutes * 60 * RATE))
        seconds = frames / float(RATE)
        print("%g min 44.1 kHz stereo 16-bit WAV, median of %d runs, each with its sync:" % (args.minutes, args.runs))
        failed = False
        for command, sox_effect in CASES:
            timing, why = median_time(*ours(args.program, src, dst, command), dst, args.runs)
            if timing is None:
                print("  %-30s failed: %s" % (command, why))
                failed = True
                continue
            line = "  %-30s tidemark %6.2f s (%5.0fx realtime)" % (command, timing.wall, seconds / timing.wall)
            if have_sox:
                sox = ["sox", "-V1", "-D", src, "-b", "16", sox_dst] + sox_effect
                ts, why = median_time(sox, None, sox_dst, args.runs)
                line += ("   sox %-22s %6.2f s   sox/tidemark %5.2fx" % (" ".join(sox_effect), ts.wall, ts.wall / timing.wall)
                         if ts is not None else "   sox failed: %s" % why)
            else:
                line += "   (sox missing)"
            print(line)
            for p in (dst, sox_dst):
                if os.path.exists(p):
                    os.unlink(p)
        if failed:
            sys.exit(1)


if __name__ == "__main__":
    main()
