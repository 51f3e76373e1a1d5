#!/usr/bin/python3
"""Sample-rate conversion file to file through the console editor against sox.

A 10-minute 44.1 kHz stereo 16-bit WAV file (noise, made here) is opened,
converted with `format 48000` and saved as 16-bit WAV in one run of
tidemark with a command file; sox does the same with
`sox IN -r 48000 OUT rate -m` and `rate -h` (without dither, as our save).
Wall and processor times are medians of the runs, each including the sync
of the file written.

With --quality, the tone sweep of tests/dsp/resample/resample_quality_test.py
also measures `sox rate -h` and `rate -v` beside our default and best
quality (needs numpy and the resample_tool test program).

  bench/resample_bench.py [--program PATH] [--folder DIR] [--minutes 10]
      [--runs 3] [--quality [--tool PATH]]

The converter alone, in memory, beside libsoxr: build/release/bin/resample_bench.
"""
import importlib.util
import os
import shlex
import shutil
import sys

from bench_common import RATE, ROOT, median_time, parse_args, scratch_folder, write_noise_wave


def more_arguments(parser):
    parser.add_argument("--quality", action="store_true")
    parser.add_argument("--tool", default=os.path.join(ROOT, "build/release/bin/resample_tool"))


def quality_report(tool):
    loader_spec = importlib.util.spec_from_file_location(
        "resample_quality", os.path.join(ROOT, "tests/dsp/resample/resample_quality_test.py"))
    q = importlib.util.module_from_spec(loader_spec)
    loader_spec.loader.exec_module(q)
    q.TOOL = tool
    runs = [("ours, default", 0.85, lambda i, o: lambda x: q.convert(x, i, o, 1, 120, 0)),
            ("ours, best", 0.95, lambda i, o: lambda x: q.convert(x, i, o, 2, 160, 1))]
    if shutil.which("sox"):
        runs += [("sox rate -h", 0.85, lambda i, o: lambda x: q.convert_sox(x, i, o, "-h")),
                 ("sox rate -v", 0.95, lambda i, o: lambda x: q.convert_sox(x, i, o, "-v"))]
    else:
        print("  (sox missing: no comparison)")
    print("Worst image/alias product below the tone, pass-band error (tones up to the given fraction of Nyquist):")
    for label, band, make in runs:
        cells = []
        for i, o in q.PAIRS:
            worst, flat = q.sweep(i, o, band, make(i, o))
            cells.append("%d->%d %.1f dB %.3f dB" % (i, o, worst, flat))
        print("  %-14s (%.2f)  %s" % (label, band, ";  ".join(cells)))


def main():
    args = parse_args(__doc__, more_arguments)
    have_sox = shutil.which("sox") is not None
    with scratch_folder("resample_bench_", args.folder) as folder:
        src, dst, sox_dst = (os.path.join(folder, n) for n in ("in.wav", "ours.wav", "sox.wav"))
        write_noise_wave(src, int(args.minutes * 60 * RATE))
        print("%g min 44.1 kHz stereo 16-bit WAV (%.1f MB) to 48 kHz, median of %d runs, each with its sync:"
              % (args.minutes, os.path.getsize(src) / 1e6, args.runs))
        script = "format 48000\nsaveas %s Wave16\n" % shlex.quote(dst)
        ours, why = median_time([args.program, src], script, dst, args.runs)
        if ours is None:
            sys.exit("tidemark failed: %s" % why)
        print("  %-24s %6.2f s wall  %6.2f s cpu" % ("tidemark format 48000", ours.wall, ours.cpu))
        if not have_sox:
            print("  (sox missing: no comparison)")
        else:
            for option in ("-m", "-h"):
                command = ["sox", "-V1", "-D", src, "-r", "48000", sox_dst, "rate", option]
                theirs, why = median_time(command, None, sox_dst, args.runs)
                if theirs is None:
                    print("  sox rate %s failed: %s" % (option, why))
                    continue
                print("  %-24s %6.2f s wall  %6.2f s cpu   sox/tidemark %5.2fx wall, %5.2fx cpu"
                      % ("sox rate " + option, theirs.wall, theirs.cpu, theirs.wall / ours.wall,
                         theirs.cpu / ours.cpu))
    if args.quality:
        quality_report(args.tool)


if __name__ == "__main__":
    main()
