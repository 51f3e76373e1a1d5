#!/usr/bin/python3
"""Whole effect pipelines through the console editor against sox.

Each pipeline opens a 10-minute 44.1 kHz stereo 16-bit WAV file (made here,
noise), runs one effect on all of it and saves it as 16-bit WAV, all in one
run of tidemark with a command file; sox does the same in one run of
its own. `stats` measures instead of saving, against `sox IN -n stats`. A
plain open and saveas of the unedited file is the baseline of the range
gain. Then the peak resident memory of each of our pipelines on a one-hour
document, beside the 10-minute one (it must not grow with the length).

  bench/effects_pipeline_bench.py [--program PATH] [--folder DIR]
      [--minutes 10] [--hour-minutes 60] [--runs 3] [EFFECT ...]

EFFECT is what follows "effect" on the console ("volume gain=-3", "fade",
"timereverse", "normalize", ...) or the word "stats"; by default
"volume gain=-3", "fade", "timereverse", "stats" and a four-band graphic
EQ (against four sox equalizers). An effect this build
does not have is reported and skipped. Times are medians of the runs, each
including the sync of the file written.
"""
import os
import shlex
import shutil
import subprocess
import sys

from bench_common import RATE, median_time, parse_args, scratch_folder, write_noise_wave

DEFAULT_EFFECTS = ["volume gain=-3", "fade", "timereverse", "stats", "graphiceq g125=3 g1k=-3 g4k=2 g8k=-2"]


def sox_pipeline(effect, src, dst, seconds):
    """The sox command doing what `effect` does, or None when there is none."""
    words = effect.split()
    key, fields = words[0].lower(), dict(w.split("=", 1) for w in words[1:] if "=" in w)
    if key == "stats":
        return ["sox", src, "-n", "stats"]
    if key in ("volume", "301") and set(fields) <= {"gain"}:
        sox_effect = ["gain", fields.get("gain", "0")]
    elif key in ("fade", "304") and not fields:  # the default shape: a linear fade-in over the selection
        sox_effect = ["fade", "t", "%.6f" % seconds]
    elif key in ("timereverse", "322") and not fields:
        sox_effect = ["reverse"]
    elif key in ("graphiceq", "305") and len([v for v in fields.values() if float(v) != 0]) == 4:
        # Four peaking sections against sox's four: the same work, not the same curve.
        sox_effect = ["equalizer", "100", "1q", "3", "equalizer", "1k", "1q", "-3",
                      "equalizer", "5k", "1q", "2", "equalizer", "10k", "1q", "-2"]
    else:
        return None
    return ["sox", "-V1", "-D", src, "-b", "16", dst] + sox_effect


def peak_memory_kib(command, stdin_text):
    """Peak resident memory (KiB) of `command`: a fresh Python runs it as its
    only child, so the children's peak is this command's."""
    probe = ("import resource, subprocess, sys\n"
             "p = subprocess.run(sys.argv[1:], input=sys.stdin.read(), text=True,"
             " stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)\n"
             "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss if p.returncode == 0 else -1)\n")
    out = subprocess.run([sys.executable, "-c", probe] + command, input=stdin_text, text=True,
                         capture_output=True, check=False).stdout.strip()
    return int(out) if out else -1


def is_stats(effect):
    return [w.lower() for w in effect.split()[:1]] == ["stats"]


def label_of(effect):
    return "saveas (no effect)" if not effect else effect if is_stats(effect) else "effect " + effect


def ours(program, src, dst, effect):
    """tidemark's command line and command file for the pipeline; an
    empty `effect` is the plain open and saveas."""
    lines = ["select all"]
    if is_stats(effect):
        lines.append("stats")
    else:
        if effect:
            lines.append("effect " + effect)
        lines.append("saveas " + shlex.quote(dst) + " Wave16")
    return [program, src], "\n".join(lines) + "\n"


def more_arguments(parser):
    parser.add_argument("effects", nargs="*", default=DEFAULT_EFFECTS)
    parser.add_argument("--hour-minutes", type=float, default=60.0)


def main():
    args = parse_args(__doc__, more_arguments)
    have_sox = shutil.which("sox") is not None

    with scratch_folder("effects_bench_", args.folder) as folder:
        src, dst, sox_dst = (os.path.join(folder, n) for n in ("in.wav", "ours.wav", "sox.wav"))
        frames = write_noise_wave(src, int(args.minutes * 60 * RATE))
        seconds = frames / float(RATE)
        print("%g min 44.1 kHz stereo 16-bit WAV (%.1f MB), median of %d runs, each with its sync:"
              % (args.minutes, os.path.getsize(src) / 1e6, args.runs))

        plain, why = median_time(*ours(args.program, src, dst, ""), dst, args.runs)
        if plain is None:
            sys.exit("plain saveas failed: %s" % why)
        print("  %-24s tidemark %6.2f s" % (label_of(""), plain.wall))
        available = []
        for effect in args.effects:
            measures = is_stats(effect)
            command, script = ours(args.program, src, dst, effect)
            timing, why = median_time(command, script, None if measures else dst, args.runs)
            label = label_of(effect)
            if timing is None:
                print("  %-24s skipped: %s" % (label, why))
                continue
            available.append(effect)
            t = timing.wall
            line = "  %-24s tidemark %6.2f s  (%.2fx plain saveas)" % (label, t, t / plain.wall)
            sox = sox_pipeline(effect, src, sox_dst, seconds) if have_sox else None
            if sox:
                ts, why = median_time(sox, None, None if measures else sox_dst, args.runs)
                line += ("   sox %6.2f s   sox/tidemark %5.2fx" % (ts.wall, ts.wall / t)) if ts is not None \
                    else "   sox failed: %s" % why
            elif not have_sox:
                line += "   (sox missing)"
            print(line)
        for p in (dst, sox_dst):
            if os.path.exists(p):
                os.unlink(p)

        print("Peak resident memory of tidemark, %g min against %g min:" % (args.minutes, args.hour_minutes))
        long_src = os.path.join(folder, "long.wav")
        write_noise_wave(long_src, int(args.hour_minutes * 60 * RATE), sparse=True)
        for effect in [""] + available:
            short_kib = peak_memory_kib(*ours(args.program, src, dst, effect))
            long_kib = peak_memory_kib(*ours(args.program, long_src, dst, effect))
            print("  %-24s %7.1f MB  %7.1f MB  (ratio %.2f)"
                  % (label_of(effect), short_kib / 1024, long_kib / 1024,
                     long_kib / short_kib if short_kib > 0 else float("nan")))
            if os.path.exists(dst):
                os.unlink(dst)


if __name__ == "__main__":
    main()
