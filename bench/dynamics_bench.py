#!/usr/bin/python3
"""The compressor and the limiter through the console editor against ffmpeg.

A 10-minute 44.1 kHz stereo 16-bit WAV file (made here in a temporary
folder: pink noise whose level swells and falls, by sox when it is
installed, else white noise) is compressed with the default Compress
settings (ratio 2.5, threshold -12 dB, window 50 ms, makeup 3 dB), and
limited at -1 dB, each file to file in one run of tidemark-edit with a
command file; ffmpeg does the same with

  -af acompressor=threshold=-12dB:ratio=2.5:attack=50:release=50:makeup=3dB:detection=rms
  -af alimiter=limit=-1dB

Goals: the compressor at least 2x faster than ffmpeg's, the limiter at
least as fast. Times are medians of the runs, each including the sync of
the file written; the processor time (user + system) of each program is
shown beside, since on a busy disk the wall time is mostly waiting.

  bench/dynamics_bench.py [--program PATH] [--folder DIR] [--minutes 10] [--runs 3]
"""
import argparse
import os
import resource
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

PIPELINES = [
    ("compress", "acompressor=threshold=-12dB:ratio=2.5:attack=50:release=50:makeup=3dB:detection=rms", 2.0),
    ("limiter ceiling=-1", "alimiter=limit=-1dB", 1.0),
]


def write_wave(path, minutes):
    """The input: swelling pink noise from sox, or white noise without it."""
    seconds = minutes * 60
    if shutil.which("sox"):
        subprocess.run(["sox", "-V1", "-n", "-r", "44100", "-c", "2", "-b", "16", path,
                        "synth", "%g" % seconds, "pinknoise", "tremolo", "0.37", "95", "vol", "0.9"], check=True)
    else:
        frames = int(seconds * 44100)
        data = frames * 4
        header = b"RIFF" + (36 + data).to_bytes(4, "little") + b"WAVEfmt " + (16).to_bytes(4, "little")
        header += (1).to_bytes(2, "little") + (2).to_bytes(2, "little") + (44100).to_bytes(4, "little")
        header += (44100 * 4).to_bytes(4, "little") + (4).to_bytes(2, "little") + (16).to_bytes(2, "little")
        header += b"data" + data.to_bytes(4, "little")
        with open(path, "wb") as f:
            f.write(header)
            left = data
            while left > 0:
                n = min(left, 1 << 24)
                f.write(os.urandom(n))
                left -= n
    subprocess.run(["sync", path], check=False)


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run_timed(command, stdin_text, sync_path):
    start, cpu = time.monotonic(), cpu_seconds()
    proc = subprocess.run(command, input=stdin_text, text=True, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, check=False)
    cpu = cpu_seconds() - cpu
    if proc.returncode == 0:
        subprocess.run(["sync", sync_path], check=False)
    return time.monotonic() - start, cpu, proc.returncode, proc.stderr


def median_time(command, stdin_text, sync_path, runs):
    """Median wall and processor seconds, or None and the first error line."""
    times, cpus = [], []
    for _ in range(runs):
        elapsed, cpu, status, err = run_timed(command, stdin_text, sync_path)
        if status != 0:
            return None, err.strip().splitlines()[0] if err.strip() else "exit status %d" % status
        times.append(elapsed)
        cpus.append(cpu)
    return (statistics.median(times), statistics.median(cpus)), None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", default=os.path.join(ROOT, "build/release/bin/tidemark-edit"))
    parser.add_argument("--folder", default=os.environ.get("TMPDIR", tempfile.gettempdir()))
    parser.add_argument("--minutes", type=float, default=10.0)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    if not os.access(args.program, os.X_OK):
        sys.exit("no program at %s (build tidemark-edit first, or give --program)" % args.program)
    if not shutil.which("ffmpeg"):
        sys.exit("ffmpeg is missing: nothing to compare against")

    folder = tempfile.mkdtemp(prefix="dynamics_bench_", dir=args.folder)
    src, dst, peer_dst = (os.path.join(folder, n) for n in ("in.wav", "ours.wav", "ffmpeg.wav"))
    try:
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
                print("  effect %-20s tidemark %5.2f s   ffmpeg failed: %s" % (effect, ours[0], why))
                failed = True
                continue
            ratio = theirs[0] / ours[0]
            print("  effect %-20s tidemark %5.2f s (cpu %5.2f)   ffmpeg %5.2f s (cpu %5.2f)   ffmpeg/tidemark %4.2fx"
                  " (cpu %4.2fx; goal %.1fx: %s)"
                  % (effect, ours[0], ours[1], theirs[0], theirs[1], ratio, theirs[1] / ours[1], goal,
                     "met" if ratio >= goal else "MISSED"))
        if failed:
            sys.exit(1)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
