#!/usr/bin/python3
"""Hiss reduction through the console editor against ffmpeg's afftdn.

Makes a 10-minute 44.1 kHz stereo 16-bit WAV file (a tone and a
speech-like harmonic sound in syllables over white noise at -30 dB,
seeded) in a temporary folder, then times, with one and with two
threads, in one run:
  tidemark: the first second taken as the noise sample, hiss
      reduction by 12 dB over everything, saved as 16-bit WAV
      (OMP_NUM_THREADS sets the threads of the per-channel work);
  ffmpeg: -af afftdn=nr=12 into a 16-bit WAV (-filter_threads N).
Each time is the median of the runs and includes the sync of the file
written; x realtime is the file's duration over that time.

  bench/hiss_bench.py [--program PATH] [--folder DIR] [--minutes 10]
      [--runs 3] [--reduction 12]
"""
import math
import os
import random
import shutil
import struct

from bench_common import RATE, median_time, parse_args, scratch_folder, sync, wave_header


def write_wave(path, minutes):
    """The test sound, 16-bit stereo. Every signal part repeats each second,
    so eight different seconds of noise cycled make the file quickly; the
    repetition does not matter to the timing."""
    frames = int(minutes * 60 * RATE)
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
        f.write(wave_header(frames))
        left = frames * 4
        for n in range(frames // RATE + 1):
            chunk = (first if n == 0 else seconds[n % 8])[:left]
            f.write(chunk)
            left -= len(chunk)
            if left == 0:
                break
    sync(path)
    return frames


def main():
    args = parse_args(__doc__, lambda parser: parser.add_argument("--reduction", type=int, default=12))
    ffmpeg = shutil.which("ffmpeg")

    with scratch_folder("hiss_bench_", args.folder) as folder:
        src, ours_dst, peer_dst = (os.path.join(folder, n) for n in ("in.wav", "ours.wav", "ffmpeg.wav"))
        frames = write_wave(src, args.minutes)
        seconds = frames / RATE
        print("%g min 44.1 kHz stereo 16-bit WAV, hiss reduction by %d dB, median of %d runs:"
              % (args.minutes, args.reduction, args.runs))
        script = "select 0 1\nnoise-sample\nselect all\neffect HissReduction reduction=%d\nsaveas %s Wave16\n" % (
            args.reduction, ours_dst)
        for threads in (1, 2):
            env = dict(os.environ, OMP_NUM_THREADS=str(threads))
            ours, why = median_time([args.program, src], script, ours_dst, args.runs, env)
            line = "  %d thread%s  " % (threads, "" if threads == 1 else "s")
            line += ("tidemark %6.2f s (%6.1fx realtime)" % (ours.wall, seconds / ours.wall)) if ours is not None \
                else "tidemark failed: %s" % why
            if ffmpeg:
                peer_cmd = [ffmpeg, "-nostdin", "-v", "error", "-y", "-filter_threads", str(threads), "-threads",
                            str(threads), "-i", src, "-af", "afftdn=nr=%d" % args.reduction, "-c:a", "pcm_s16le",
                            peer_dst]
                peer, why = median_time(peer_cmd, None, peer_dst, args.runs, env)
                if peer is not None:
                    line += "   ffmpeg afftdn %6.2f s (%6.1fx realtime)" % (peer.wall, seconds / peer.wall)
                    if ours is not None:
                        line += "   tidemark/ffmpeg speed %5.2fx" % (peer.wall / ours.wall)
                else:
                    line += "   ffmpeg failed: %s" % why
            else:
                line += "   (ffmpeg missing)"
            print(line)


if __name__ == "__main__":
    main()
