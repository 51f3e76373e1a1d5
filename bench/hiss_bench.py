#!/usr/bin/python3
"""Hiss reduction through the console editor against ffmpeg's afftdn.

Makes a 10-minute 44.1 kHz stereo 16-bit WAV file (a tone and a
speech-like harmonic sound in syllables over white noise at -30 dB,
seeded) in a temporary folder, then times, with one and with two
threads, in one run:
  tidemark-edit: the first second taken as the noise sample, hiss
      reduction by 12 dB over everything, saved as 16-bit WAV
      (OMP_NUM_THREADS sets the threads of the per-channel work);
  ffmpeg: -af afftdn=nr=12 into a 16-bit WAV (-filter_threads N).
Each time is the median of the runs and includes the sync of the file
written; x realtime is the file's duration over that time.

  bench/hiss_bench.py [--program PATH] [--folder DIR] [--minutes 10]
      [--runs 3] [--reduction 12]
"""
import argparse
import math
import os
import random
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RATE = 44100


def write_wave(path, minutes):
    """The test sound, 16-bit stereo. Every signal part repeats each second,
    so eight different seconds of noise cycled make the file quickly; the
    repetition does not matter to the timing."""
    frames = int(minutes * 60 * RATE)
    data = frames * 4
    rng = random.Random(25)
    noise_rms = 10 ** (-30 / 20)

    def second_bytes(with_signal):
        out = []
        for i in range(RATE):
            t = i / RATE
            x = rng.gauss(0.0, noise_rms)
            if with_signal:
                syllable = math.sin(2 * math.pi * 4 * t) ** 2
                x += 0.2 * math.sin(2 * math.pi * 440 * t)
                x += syllable * (0.1 * math.sin(2 * math.pi * 150 * t) + 0.05 * math.sin(2 * math.pi * 300 * t))
            left = max(-32768, min(32767, int(round(x * 32767))))
            right = max(-32768, min(32767, int(round(0.8 * x * 32767))))
            out.append(struct.pack("<hh", left, right))
        return b"".join(out)

    first = second_bytes(False)  # the noise sample
    seconds = [second_bytes(True) for _ in range(8)]
    with open(path, "wb") as f:
        f.write(b"RIFF" + (36 + data).to_bytes(4, "little") + b"WAVEfmt " + (16).to_bytes(4, "little"))
        f.write(struct.pack("<HHIIHH", 1, 2, RATE, RATE * 4, 4, 16))
        f.write(b"data" + data.to_bytes(4, "little"))
        left = data
        for n in range(frames // RATE + 1):
            chunk = (first if n == 0 else seconds[n % 8])[:left]
            f.write(chunk)
            left -= len(chunk)
            if left == 0:
                break
    subprocess.run(["sync", path], check=False)
    return frames


def timed(command, env, stdin_text, sync_path):
    start = time.monotonic()
    proc = subprocess.run(command, input=stdin_text, env=env, text=True, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, check=False)
    if proc.returncode == 0:
        subprocess.run(["sync", sync_path], check=False)
    elapsed = time.monotonic() - start
    return (elapsed, None) if proc.returncode == 0 else (None, proc.stderr.strip() or "exit %d" % proc.returncode)


def median(command, env, stdin_text, sync_path, runs):
    times = []
    for _ in range(runs):
        t, why = timed(command, env, stdin_text, sync_path)
        if t is None:
            return None, why
        times.append(t)
    return statistics.median(times), None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", default=os.path.join(ROOT, "build/release/bin/tidemark-edit"))
    parser.add_argument("--folder", default=os.environ.get("TMPDIR", tempfile.gettempdir()))
    parser.add_argument("--minutes", type=float, default=10.0)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--reduction", type=int, default=12)
    args = parser.parse_args()
    if not os.access(args.program, os.X_OK):
        sys.exit("no program at %s (build tidemark-edit first, or give --program)" % args.program)
    ffmpeg = shutil.which("ffmpeg")

    folder = tempfile.mkdtemp(prefix="hiss_bench_", dir=args.folder)
    src, ours_dst, peer_dst = (os.path.join(folder, n) for n in ("in.wav", "ours.wav", "ffmpeg.wav"))
    try:
        frames = write_wave(src, args.minutes)
        seconds = frames / RATE
        print("%g min 44.1 kHz stereo 16-bit WAV, hiss reduction by %d dB, median of %d runs:"
              % (args.minutes, args.reduction, args.runs))
        script = "select 0 1\nnoise-sample\nselect all\neffect HissReduction reduction=%d\nsaveas %s Wave16\n" % (
            args.reduction, ours_dst)
        for threads in (1, 2):
            env = dict(os.environ, OMP_NUM_THREADS=str(threads))
            ours, why = median([args.program, src], env, script, ours_dst, args.runs)
            line = "  %d thread%s  " % (threads, "" if threads == 1 else "s")
            line += ("tidemark %6.2f s (%6.1fx realtime)" % (ours, seconds / ours)) if ours else "tidemark failed: %s" % why
            if ffmpeg:
                peer_cmd = [ffmpeg, "-nostdin", "-v", "error", "-y", "-filter_threads", str(threads), "-threads",
                            str(threads), "-i", src, "-af", "afftdn=nr=%d" % args.reduction, "-c:a", "pcm_s16le",
                            peer_dst]
                peer, why = median(peer_cmd, env, None, peer_dst, args.runs)
                if peer:
                    line += "   ffmpeg afftdn %6.2f s (%6.1fx realtime)" % (peer, seconds / peer)
                    if ours:
                        line += "   tidemark/ffmpeg speed %5.2fx" % (peer / ours)
                else:
                    line += "   ffmpeg failed: %s" % why
            else:
                line += "   (ffmpeg missing)"
            print(line)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
