#!/usr/bin/python3
"""Click removal through the console editor against ffmpeg's adeclick.

Makes a 10-minute 44.1 kHz stereo 16-bit WAV file in a temporary folder (a
10-second stretch of three tones with vibrato over pink noise at -40 dB with
25 clicks, repeated), then in one run of tidemark with a command file
opens it, runs `effect ClickRemoval` on all of it and saves it as 16-bit WAV;
ffmpeg does the same with `-af adeclick`. Each runs with one and with two
threads (OMP_NUM_THREADS for ours, -filter_threads for ffmpeg). A plain open
and saveas is the baseline. Times are medians of the runs, each including the
sync of the file written; x realtime is the audio's length over that time.

  bench/declick_bench.py [--program PATH] [--folder DIR] [--minutes 10] [--runs 3]
"""
import math
import os
import random
import shlex
import shutil
import struct
import sys

from bench_common import RATE, median_time, parse_args, scratch_folder, sync, wave_header


def music_chunk(seconds, seed):
    """Interleaved stereo 16-bit frames: tones with vibrato, pink noise, clicks."""
    rng = random.Random(seed)
    frames = int(seconds * RATE)
    tones = [(220.0, 0.16, 5.0, 0.006), (330.0, 0.12, 5.7, 0.004), (587.0, 0.08, 6.1, 0.005)]
    out = []
    for c in range(2):
        b = [0.0] * 7
        phase = [0.0] * 3
        samples = []
        for f in range(frames):
            w = rng.gauss(0.0, 1.0)
            b[0] = 0.99886 * b[0] + w * 0.0555179
            b[1] = 0.99332 * b[1] + w * 0.0750759
            b[2] = 0.96900 * b[2] + w * 0.1538520
            b[3] = 0.86650 * b[3] + w * 0.3104856
            b[4] = 0.55000 * b[4] + w * 0.5329522
            b[5] = -0.7616 * b[5] - w * 0.0168980
            pink = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + w * 0.5362
            b[6] = w * 0.115926
            v = pink * 0.0033  # about -40 dB RMS
            t = f / RATE
            for k, (freq, amp, rate, depth) in enumerate(tones):
                phase[k] += 2 * math.pi * freq * (1 + depth * math.sin(2 * math.pi * rate * t)) / RATE
                v += amp * (1.0 if c == 0 else 0.6 + 0.3 * k) * math.sin(phase[k])
            samples.append(v)
        for _ in range(25):
            at, length, peak = rng.randrange(1000, frames - 1000), rng.randint(1, 40), rng.uniform(0.3, 0.9)
            for j in range(length):
                samples[at + j] += rng.choice((-1, 1)) * peak * rng.uniform(0.5, 1.0)
        out.append(samples)
    data = bytearray()
    for left, right in zip(*out):
        data += struct.pack("<hh", *(max(-32768, min(32767, int(round(v * 32767)))) for v in (left, right)))
    return data


def write_wave(path, minutes):
    chunk = music_chunk(10.0, 1)
    repeats = max(1, int(round(minutes * 6)))
    frames = len(chunk) // 4 * repeats
    with open(path, "wb") as f:
        f.write(wave_header(frames))
        for _ in range(repeats):
            f.write(chunk)
    sync(path)
    return frames


def main():
    args = parse_args(__doc__)
    ffmpeg = shutil.which("ffmpeg")

    with scratch_folder("declick_bench_", args.folder) as folder:
        src, dst, peer_dst = (os.path.join(folder, n) for n in ("in.wav", "ours.wav", "ffmpeg.wav"))
        seconds = write_wave(src, args.minutes) / RATE
        print("%.1f min 44.1 kHz stereo 16-bit WAV with clicks, median of %d runs, each with its sync:"
              % (seconds / 60, args.runs))

        def script(effect):
            lines = (["select all"] + (["effect " + effect] if effect else [])
                     + ["saveas " + shlex.quote(dst) + " Wave16"])
            return "\n".join(lines) + "\n"

        plain, why = median_time([args.program, src], script(""), dst, args.runs)
        if plain is None:
            sys.exit("plain saveas failed: %s" % why)
        print("  %-22s %7.2f s  %7.1fx realtime" % ("saveas (no effect)", plain.wall, seconds / plain.wall))
        for threads in (1, 2):
            env = dict(os.environ, OMP_NUM_THREADS=str(threads))
            ours, why = median_time([args.program, src], script("ClickRemoval"), dst, args.runs, env)
            if ours is None:
                print("  ClickRemoval, %d thread(s): failed: %s" % (threads, why))
                continue
            t = ours.wall
            line = "  %-22s %7.2f s  %7.1fx realtime" % ("ClickRemoval, %d thr" % threads, t, seconds / t)
            if ffmpeg:
                peer = [ffmpeg, "-nostdin", "-v", "error", "-y", "-filter_threads", str(threads),
                        "-threads", str(threads), "-i", src, "-af", "adeclick", "-c:a", "pcm_s16le", peer_dst]
                theirs, why = median_time(peer, None, peer_dst, args.runs)
                if theirs is not None:
                    line += ("   ffmpeg adeclick %7.2f s  %6.1fx realtime   ours/ffmpeg speed %5.2fx"
                             % (theirs.wall, seconds / theirs.wall, theirs.wall / t))
                else:
                    line += "   ffmpeg failed: %s" % why
            else:
                line += "   (ffmpeg missing)"
            print(line)


if __name__ == "__main__":
    main()
