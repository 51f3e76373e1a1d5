#!/usr/bin/python3
"""Pictures through the console editor against ffmpeg and sox.

Makes a 10-minute 44.1 kHz stereo 16-bit WAV file of noise (in a temporary
folder) and times, each as one run of tidemark with a command file,

  picture OUT waveform 1200x400       beside  ffmpeg -i in.wav -filter_complex showwavespic=s=1200x400 out.png
  picture OUT spectrogram 1200x400    beside  sox in.wav -n spectrogram -x 1200 -y 400 -o out.png
  a one-hour document (the file pasted after itself until it lasts an
  hour or more) drawn as a 1200x400 waveform: the run's time less that of
  the same run without the picture.

  bench/views_bench.py [--program PATH] [--folder DIR] [--minutes 10] [--runs 3]

Times are medians of the runs from a warm cache (one unmeasured run first);
the processor time beside them tells what a busy machine hides (the
drawing runs on a worker thread of below-normal priority).
"""
import math
import os
import shutil
import sys

from bench_common import RATE, median_time, parse_args, scratch_folder, write_noise_wave


def timed(command, script, runs, what):
    median_time(command, script, None, 1)  # warms the page cache
    t, why = median_time(command, script, None, runs)
    if t is None:
        sys.exit("%s failed: %s" % (what, why))
    return t


def main():
    args = parse_args(__doc__)
    for tool in ("ffmpeg", "sox"):
        if shutil.which(tool) is None:
            sys.exit("%s is missing: the comparison needs it" % tool)

    here = os.getcwd()
    with scratch_folder("views_bench_", args.folder) as folder:
        src = os.path.join(folder, "in.wav")
        out = os.path.join(folder, "out.png")
        frames = write_noise_wave(src, int(args.minutes * 60 * RATE))
        print("%g min 44.1 kHz stereo 16-bit WAV (%.1f MB), 1200x400 pictures, median of %d runs:"
              % (args.minutes, os.path.getsize(src) / 1e6, args.runs))
        ours = timed([args.program, src], "picture %s waveform 1200x400\n" % out, args.runs, "tidemark")
        ffmpeg = timed(["ffmpeg", "-v", "error", "-y", "-i", src, "-filter_complex", "showwavespic=s=1200x400",
                        "-frames:v", "1", out], None, args.runs, "ffmpeg")
        print("  waveform     tidemark %6.3f s (cpu %.3f)   ffmpeg showwavespic %6.3f s   ffmpeg/tidemark %5.2fx"
              % (ours.wall, ours.cpu, ffmpeg.wall, ffmpeg.wall / ours.wall))
        ours = timed([args.program, src], "picture %s spectrogram 1200x400\n" % out, args.runs, "tidemark")
        sox = timed(["sox", "-V1", src, "-n", "spectrogram", "-x", "1200", "-y", "400", "-o", out], None,
                    args.runs, "sox")
        print("  spectrogram  tidemark %6.3f s (cpu %.3f)   sox spectrogram %6.3f s       sox/tidemark %5.2fx"
              % (ours.wall, ours.cpu, sox.wall, sox.wall / ours.wall))

        # Copy and paste keep the program's clip beside the working folder.
        os.chdir(folder)
        doublings = max(0, math.ceil(math.log2(3600 * RATE / frames)))
        build = "select all\ncopy\npaste\n" * doublings + "select 0 0\n"
        hours = frames * 2 ** doublings / RATE / 3600
        plain = timed([args.program, src], build, args.runs, "tidemark")
        drawn = timed([args.program, src], build + "picture %s waveform 1200x400\n" % out, args.runs,
                      "tidemark")
        print("  waveform of a %.2f-hour document: %.3f s, cpu %.3f s (run %.3f s less %.3f s building the document)"
              % (hours, drawn.wall - plain.wall, drawn.cpu - plain.cpu, drawn.wall, plain.wall))
        os.chdir(here)


if __name__ == "__main__":
    main()
