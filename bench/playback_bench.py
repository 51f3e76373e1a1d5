#!/usr/bin/python3
"""Playback through the console editor against the peers.

  bench/playback_bench.py [--program PATH] [--folder DIR] [--minutes 10]
      [--runs 3] [--seconds 10]

Three figures, each the median of the runs:
  start      a 10 ms range played to the fast file device, less the same run
             without the play: the cost from `play` to a played-out first
             buffer (goal under 20 ms);
  null CPU   processor time per second of 44.1 kHz stereo played on the null
             device at the real pace (--seconds long, less the run without
             the play), beside `aplay -D null` on the same file (goal under
             1 % of one core and no more than aplay);
  fast file  the whole --minutes file played to file:PATH?fast, beside
             `sox IN OUT` copying it;
  record CPU processor time per second of a 44.1 kHz stereo 16-bit take
             from the null input into a WAV file (--seconds long, less the
             run without it), beside `arecord -D null -f cd -d SECONDS`
             writing a file of its own (goal as for playback).
The files are made here (noise) and removed afterwards.
"""
import os
import shutil

from bench_common import RATE, median_time, parse_args, scratch_folder, write_noise_wave


def main():
    args = parse_args(__doc__, lambda p: p.add_argument("--seconds", type=float, default=10.0))
    with scratch_folder("playback-bench-", args.folder) as folder:
        src = os.path.join(folder, "p.wav")
        short = os.path.join(folder, "short.wav")
        out = os.path.join(folder, "out.wav")
        write_noise_wave(src, int(args.minutes * 60 * RATE))
        write_noise_wave(short, int(args.seconds * RATE))
        program = [args.program]

        def run(script, runs=args.runs):
            timing, error = median_time(program, script, runs=runs)
            if error:
                raise SystemExit("tidemark failed: %s" % error)
            return timing

        base = run("open %s\nselect 0 0.01\n" % src)
        start = run("open %s\ndevice out file:%s?fast\nselect 0 0.01\nplay\n" % (src, out))
        print("start      %.1f ms (play of 10 ms to the fast file device, less the open)"
              % (1000 * max(start.wall - base.wall, 0.0)))

        base = run("open %s\n" % short)
        played = run("open %s\ndevice out null\nplay\n" % short)
        ours = max(played.cpu - base.cpu, 0.0) / args.seconds
        line = "null CPU   %.3f %% of one core" % (100 * ours)
        if shutil.which("aplay"):
            peer, error = median_time(["aplay", "-q", "-D", "null", short], runs=args.runs)
            if error:
                line += "  (aplay failed: %s)" % error
            else:
                theirs = peer.cpu / args.seconds
                line += "  aplay -D null %.3f %% (%.0f ms wall)  ratio %.2f" % (
                    100 * theirs, 1000 * peer.wall, ours / theirs if theirs else float("inf"))
        else:
            line += "  (aplay missing: install alsa-utils)"
        print(line)

        ours = run("open %s\ndevice out file:%s?fast\nplay all\n" % (src, out))
        sox, error = median_time(["sox", src, out], runs=args.runs)
        line = "fast file  %.2f s (%.0f x real time)" % (ours.wall, args.minutes * 60 / ours.wall)
        if error:
            line += "  (sox failed: %s)" % error
        else:
            line += "  sox %.2f s  ratio %.2f" % (sox.wall, ours.wall / sox.wall)
        print(line)

        seconds = max(1, int(round(args.seconds)))
        take = os.path.join(folder, "take.wav")
        base = run("help\n")
        recorded = run("device in null\nrecord! %s %d rate=%d channels=2 format=Wave16\n" % (take, seconds, RATE))
        ours = max(recorded.cpu - base.cpu, 0.0) / seconds
        line = "record CPU %.3f %% of one core" % (100 * ours)
        if shutil.which("arecord"):
            peer, error = median_time(["arecord", "-q", "-D", "null", "-f", "cd", "-d", str(seconds),
                                       os.path.join(folder, "arecord.wav")], runs=args.runs)
            if error:
                line += "  (arecord failed: %s)" % error
            else:
                theirs = peer.cpu / seconds
                line += "  arecord -D null %.3f %% (%.0f ms wall)  ratio %.2f" % (
                    100 * theirs, 1000 * peer.wall, ours / theirs if theirs else float("inf"))
        else:
            line += "  (arecord missing: install alsa-utils)"
        print(line)


if __name__ == "__main__":
    main()
