#!/usr/bin/python3
"""The compressor and the limiter through the console editor against ffmpeg.

A 10-minute 44.1 kHz stereo 16-bit WAV file (made here in a temporary
folder: pink noise whose level swells and falls, by sox when it is
installed, else white noise) is compressed with the default Compress
settings (ratio 2.5, threshold -12 dB, window 50 ms, makeup 3 dB), and
limited at -1 dB, each file to file in one run of tidemark with a
command file; ffmpeg does the same with

  -af acompressor=threshold=-12dB:ratio=2.5:attack=50:release=50:makeup=3dB:detection=rms
  -af alimiter=limit=-1dB

Goals: the compressor at least 2x faster than ffmpeg's, the limiter at
least as fast. Times are medians of the runs, each including the sync of
the file written; the processor time (user + system) of each program is
shown beside, since on a busy disk the wall time is mostly waiting.

  bench/dynamics_bench.py [--program PATH] [--folder DIR] [--minutes 10] [--runs 3]
"""
import os
import shlex
import shutil
import subprocess
import sys

from bench_common import RATE, median_time, parse_args, scratch_folder, sync, write_noise_wave

PIPELINES = [
    ("compress", "acompressor=threshold=-12dB:ratio=2.5:attack=50:release=50:makeup=3dB:detection=rms", 2.0),
    ("limiter ceiling=-1", "alimiter=limit=-1dB", 1.0),
]


def write_wave(path, minutes):
    """The input: swelling pink noise from sox, or white noise without it."""
    seconds = minutes * 60
    if shutil.which("sox"):
        subprocess.run(["sox", "-V1", "-n", "-r", "%d" % RATE, "-c", "2", "-b", "16", path,
                        "synth", "%g" % seconds, "pinknoise", "tremolo", "0.37", "95", "vol", "0.9"], check=True)
        sync(path)
    else:
        write_noise_wave(path, int(seconds * RATE))


def main():
    args = parse_args(__doc__)
    if not shutil.which("ffmpeg"):
        sys.exit("ffmpeg is missing: nothing to compare against")

    with scratch_folder("dynamics_bench_", args.folder) as folder:
        src, dst, peer_dst = (os.path.join(folder, n) for n in ("in.wav", "ours.wav", "ffmpeg.wav"))
        write_wave(src, args.minutes)
        print("%g min 44.1 kHz stereo 16-bit WAV, median of %d runs, each with its sync:" % (args.minutes, args.runs))
        failed = False
        for effect, peer_filter, goal in PIPELINES:
            script = "select all\neffect %s\nsaveas %s Wave16\n" % (effect, shlex.quote(dst))
            ours, why = median_time([args.program, src], script, dst, args.runs)
            if ours is None:
                print("  effect %-20s failed: %s" % (effect, why))
                failed = True
                continue
            peer = [shutil.which("ffmpeg"), "-nostdin", "-y", "-loglevel", "error", "-i", src, "-af", peer_filter,
                    "-c:a", "pcm_s16le", peer_dst]
            theirs, why = median_time(peer, None, peer_dst, args.runs)
            if theirs is None:
                print("  effect %-20s tidemark %5.2f s   ffmpeg failed: %s" % (effect, ours.wall, why))
                failed = True
                continue
            ratio = theirs.wall / ours.wall
            print("  effect %-20s tidemark %5.2f s (cpu %5.2f)   ffmpeg %5.2f s (cpu %5.2f)   ffmpeg/tidemark %4.2fx"
                  " (cpu %4.2fx; goal %.1fx: %s)"
                  % (effect, ours.wall, ours.cpu, theirs.wall, theirs.cpu, ratio, theirs.cpu / ours.cpu, goal,
                     "met" if ratio >= goal else "MISSED"))
        if failed:
            sys.exit(1)


if __name__ == "__main__":
    main()
