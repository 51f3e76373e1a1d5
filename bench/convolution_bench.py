#!/usr/bin/python3
"""FIR filtering by a long impulse response through the console editor
against ffmpeg's afir.

Makes, in a temporary folder, a 10-minute 44.1 kHz stereo 16-bit WAV file
(noise) and a 10-second stereo 32-bit float impulse response (noise
decaying by 60 dB, seeded), then times, with one and with two threads, in
one run:
  tidemark: effect FIRFilter file=ir.wav over everything, saved as 16-bit
      WAV (OMP_NUM_THREADS sets the threads of the multiply-accumulate;
      OMP_WAIT_POLICY is passive unless set: a thread waiting for the
      next region then sleeps as ffmpeg's do, rather than spinning on a
      processor that other work on a shared machine wants);
  ffmpeg: [0:a][1:a]afir=minp=4096:maxp=4096 into a 16-bit WAV
      (-filter_complex_threads N).
Each time is the median of the runs and includes the sync of the file
written; x realtime is the file's duration over that time. Other work on
the machine skews the two-thread figures most: the load average at the
start is printed with them.

  bench/convolution_bench.py [--program PATH] [--folder DIR] [--minutes 10]
      [--runs 3] [--ir-seconds 10]
"""
import array
import math
import os
import random
import shutil
import struct

from bench_common import RATE, median_time, parse_args, scratch_folder, sync, write_noise_wave


def write_response(path, seconds):
    """A stereo float WAV file: noise under an exponential decay of 60 dB
    over its length."""
    frames = int(seconds * RATE)
    rng = random.Random(28)
    samples = array.array("f")
    for i in range(frames):
        g = 0.05 * 10 ** (-3.0 * i / frames)
        samples.append(g * rng.uniform(-1, 1))
        samples.append(g * rng.uniform(-1, 1))
    if samples.itemsize != 4:
        raise SystemExit("float is not 32 bits here")
    data = samples.tobytes()
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " + struct.pack(
        "<IHHIIHH", 16, 3, 2, RATE, RATE * 8, 8, 32) + b"data" + struct.pack("<I", len(data))
    with open(path, "wb") as f:
        f.write(header)
        f.write(data)
    sync(path)


def main():
    args = parse_args(__doc__, lambda parser: parser.add_argument("--ir-seconds", type=float, default=10.0))
    ffmpeg = shutil.which("ffmpeg")

    with scratch_folder("convolution_bench_", args.folder) as folder:
        src, ir, ours_dst, peer_dst = (os.path.join(folder, n) for n in ("in.wav", "ir.wav", "ours.wav", "ffmpeg.wav"))
        frames = write_noise_wave(src, int(args.minutes * 60 * RATE))
        write_response(ir, args.ir_seconds)
        seconds = frames / RATE
        print("%g min 44.1 kHz stereo 16-bit WAV, %g s stereo response, median of %d runs"
              " (load average %.2f on %d processors):"
              % (args.minutes, args.ir_seconds, args.runs, os.getloadavg()[0], os.cpu_count()))
        script = "select all\neffect FIRFilter file=%s\nsaveas %s Wave16\n" % (ir, ours_dst)
        for threads in (1, 2):
            env = dict(os.environ, OMP_NUM_THREADS=str(threads))
            env.setdefault("OMP_WAIT_POLICY", "passive")
            ours, why = median_time([args.program, src], script, ours_dst, args.runs, env)
            line = "  %d thread%s  " % (threads, "" if threads == 1 else "s")
            line += ("tidemark %6.2f s (%6.1fx realtime)" % (ours.wall, seconds / ours.wall)) if ours is not None \
                else "tidemark failed: %s" % why
            if ffmpeg:
                peer_cmd = [ffmpeg, "-nostdin", "-v", "error", "-y", "-i", src, "-i", ir,
                            "-filter_complex_threads", str(threads), "-filter_complex",
                            "[0:a][1:a]afir=minp=4096:maxp=4096", "-c:a", "pcm_s16le", peer_dst]
                peer, why = median_time(peer_cmd, None, peer_dst, args.runs, env)
                if peer is not None:
                    line += "   ffmpeg afir %6.2f s (%6.1fx realtime)" % (peer.wall, seconds / peer.wall)
                    if ours is not None:
                        line += "   tidemark/ffmpeg speed %5.2fx" % (peer.wall / ours.wall)
                else:
                    line += "   ffmpeg failed: %s" % why
            else:
                line += "   (ffmpeg missing)"
            print(line)


if __name__ == "__main__":
    main()
