"""What the console editor benchmarks in bench/ share: the command line,
the scratch folder, the plain 16-bit stereo WAV header and the timing of
a command (wall and processor seconds, median of several runs).

The scripts run as `bench/x.py` from the repository root, so this folder
is on sys.path and they import it as `bench_common`.
"""
import argparse
import collections
import contextlib
import os
import resource
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RATE = 44100

Timing = collections.namedtuple("Timing", "wall cpu")


def parse_args(doc, more=None):
    """The options every benchmark takes (--program, --folder, --minutes,
    --runs), plus those `more(parser)` adds; exits when there is no
    program to run."""
    parser = argparse.ArgumentParser(description=doc, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", default=os.path.join(ROOT, "build/release/bin/tidemark"))
    parser.add_argument("--folder", default=os.environ.get("TMPDIR", tempfile.gettempdir()))
    parser.add_argument("--minutes", type=float, default=10.0)
    parser.add_argument("--runs", type=int, default=3)
    if more:
        more(parser)
    args = parser.parse_args()
    if not os.access(args.program, os.X_OK):
        sys.exit("no program at %s (build tidemark first, or give --program)" % args.program)
    return args


@contextlib.contextmanager
def scratch_folder(prefix, parent):
    """A fresh folder under `parent`, removed with all it holds on leaving."""
    folder = tempfile.mkdtemp(prefix=prefix, dir=parent)
    try:
        yield folder
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def sync(path):
    subprocess.run(["sync", path], check=False)


def wave_header(frames, rate=RATE):
    """The 44-byte header of a plain PCM WAV file, stereo 16-bit."""
    data = frames * 4
    return (b"RIFF" + struct.pack("<I", 36 + data) + b"WAVEfmt " + struct.pack("<I", 16)
            + struct.pack("<HHIIHH", 1, 2, rate, rate * 4, 4, 16) + b"data" + struct.pack("<I", data))


def write_noise_wave(path, frames, sparse=False):
    """A stereo 16-bit WAV file of `frames` frames of white noise, or of
    zeros left as a hole in the file when `sparse`; synced."""
    data = frames * 4
    with open(path, "wb") as f:
        header = wave_header(frames)
        f.write(header)
        if sparse:
            f.truncate(len(header) + data)
        else:
            left = data
            while left > 0:
                n = min(left, 1 << 24)
                f.write(os.urandom(n))
                left -= n
    sync(path)
    return frames


def _children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run_timed(command, stdin_text=None, sync_path=None, env=None):
    """One run of `command` fed `stdin_text` (or nothing): its Timing (the
    wall time includes the sync of `sync_path`, the processor time is the
    command's own user + system), exit status and stderr."""
    start, cpu = time.monotonic(), _children_cpu()
    proc = subprocess.run(command, input=stdin_text, text=True, env=env,
                          stdin=subprocess.DEVNULL if stdin_text is None else None,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=False)
    cpu = _children_cpu() - cpu
    if sync_path and proc.returncode == 0:
        sync(sync_path)
    return Timing(time.monotonic() - start, cpu), proc.returncode, proc.stderr


def median_time(command, stdin_text=None, sync_path=None, runs=1, env=None):
    """The median Timing of `runs` runs and None, or None and the first
    line of the error of the first run that failed."""
    timings = []
    for _ in range(runs):
        timing, status, err = run_timed(command, stdin_text, sync_path, env)
        if status != 0:
            return None, err.strip().splitlines()[0] if err.strip() else "exit status %d" % status
        timings.append(timing)
    return Timing(statistics.median(t.wall for t in timings), statistics.median(t.cpu for t in timings)), None
