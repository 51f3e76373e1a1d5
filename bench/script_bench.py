#!/usr/bin/python3
"""The script host against its peers.

1. Start-up: tidemark-script running an empty script beside Debian's `duk`
   (the duktape package) on the same file (goal: under 50 ms and within 3x
   of duk).
2. Work per file: a script that opens 100 small WAV files (1 s, 44.1 kHz
   stereo noise, made here), reads each one's peak and closes it, beside a
   shell loop calling `sox --i` and `sox -n stats` on the same files.

  bench/script_bench.py [--program PATH] [--folder DIR] [--runs 5] [--files 100]

--program names tidemark-script (default build/release/bin/tidemark-script).
Times are medians of the runs (wall clock).
"""
import os
import shutil
import sys

from bench_common import ROOT, RATE, median_time, parse_args, scratch_folder, write_noise_wave

PEAKS = r"""
var n = 0, sum = 0;
for (var e = new Enumerator(Script.Arguments.Unnamed); !e.atEnd(); e.moveNext()) {
  var d = Application.Documents.Open(e.item());
  d.SelectionFrom = 0; d.SelectionTo = d.Length;
  sum += d.GetWaveformInfo().Item("InstantPeak");
  d.Close();
  ++n;
}
Script.Echo(n, sum > 0);
"""


def main():
    def more(parser):
        parser.add_argument("--files", type=int, default=100)

    sys.argv = [a if a != "--program" else a for a in sys.argv]
    default = os.path.join(ROOT, "build/release/bin/tidemark-script")
    if "--program" not in sys.argv:
        sys.argv[1:1] = ["--program", default]
    args = parse_args(__doc__, more)
    runs = max(args.runs, 5)
    env = dict(os.environ)
    with scratch_folder("script-bench-", args.folder) as folder:
        env["HOME"] = folder
        env["XDG_CONFIG_HOME"] = os.path.join(folder, "config")
        os.makedirs(env["XDG_CONFIG_HOME"])
        empty = os.path.join(folder, "empty.js")
        open(empty, "w").close()
        ours, err = median_time([args.program, empty], runs=runs, env=env)
        if err:
            sys.exit("tidemark-script failed: " + err)
        print("start-up, empty script: tidemark-script %.1f ms" % (ours.wall * 1000))
        duk = shutil.which("duk")
        if duk:
            theirs, err = median_time([duk, empty], runs=runs, env=env)
            if not err:
                print("                        duk            %.1f ms  ratio %.2f" %
                      (theirs.wall * 1000, ours.wall / theirs.wall))
        else:
            print("                        duk            not installed (apt-get install duktape)")

        files = []
        for i in range(args.files):
            path = os.path.join(folder, "f%03d.wav" % i)
            write_noise_wave(path, RATE)
            files.append(path)
        script = os.path.join(folder, "peaks.js")
        with open(script, "w") as f:
            f.write(PEAKS)
        ours, err = median_time([args.program, script] + files, runs=runs, env=env)
        if err:
            sys.exit("tidemark-script failed: " + err)
        n = len(files)
        print("%d files, open + peak + close: tidemark-script %.2f ms/file" % (n, ours.wall * 1000 / n))
        if shutil.which("sox"):
            loop = 'for f in "$@"; do sox --i "$f" >/dev/null; sox "$f" -n stats 2>/dev/null; done'
            theirs, err = median_time(["sh", "-c", loop, "sh"] + files, runs=runs, env=env)
            if not err:
                print("%*s sox --i + sox -n stats loop %.2f ms/file  ratio %.2f" %
                      (len(str(n)) + 30, "", theirs.wall * 1000 / n, ours.wall / theirs.wall))
        else:
            print("sox not installed")


if __name__ == "__main__":
    main()
