#!/usr/bin/python3
"""Compressed formats through the console editor against the codecs' own
tools, on a 10-minute 44.1 kHz stereo 16-bit file (made here, noise):

  open FLAC           tidemark: open x.flac         ffmpeg -i x.flac -f wav out.wav
  open MP3 192 kbps   tidemark: open x.mp3          ffmpeg -i x.mp3 -f wav out.wav
  open Ogg Vorbis q5  tidemark: open x.ogg          ffmpeg -i x.ogg -f wav out.wav
  open AAC 192 kbps   tidemark: open x.m4a          ffmpeg -i x.m4a -f wav out.wav
  write FLAC level 5  tidemark: saveas out.flac     flac -5 x.wav
                       level=5
  write MP3 V2        tidemark: saveas out.mp3      lame -V2 x.wav
                       vbr=2
  write Opus 128k     tidemark: saveas out.opus     opusenc --bitrate 128 x.wav
                       bitrate=128000

Each tidemark run is one process with a command file. Times are medians of
the runs; ratios above 1 mean tidemark is slower.

  bench/codecs_bench.py [--program PATH] [--folder DIR] [--minutes 10] [--runs 3]
"""
import os
import shutil
import subprocess
import sys

from bench_common import RATE, median_time, parse_args, scratch_folder, write_noise_wave


def main():
    args = parse_args(__doc__)
    for tool in ("flac", "ffmpeg", "lame", "oggenc", "opusenc"):
        if not shutil.which(tool):
            sys.exit("%s is missing (scripts/install-deps.sh installs it)" % tool)
    with scratch_folder("codecs-bench-", args.folder) as folder:
        wav = os.path.join(folder, "src.wav")
        write_noise_wave(wav, int(args.minutes * 60 * RATE))
        flac = os.path.join(folder, "src.flac")
        subprocess.run(["flac", "-s", "-f", "-5", "-o", flac, wav], check=True)
        mp3 = os.path.join(folder, "src.mp3")
        subprocess.run(["lame", "--quiet", "-b", "192", wav, mp3], check=True)
        ogg = os.path.join(folder, "src.ogg")
        subprocess.run(["oggenc", "-Q", "-q", "5", "-o", ogg, wav], check=True)
        m4a = os.path.join(folder, "src.m4a")
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", wav, "-c:a", "aac", "-b:a", "192k", m4a], check=True)
        ours_out = os.path.join(folder, "ours.flac")
        peer_out = os.path.join(folder, "peer.flac")
        peer_wav = os.path.join(folder, "peer.wav")
        ours_mp3 = os.path.join(folder, "ours.mp3")
        peer_mp3 = os.path.join(folder, "peer.mp3")
        ours_opus = os.path.join(folder, "ours.opus")
        peer_opus = os.path.join(folder, "peer.opus")
        rows = [
            ("open %s" % name, [args.program], "open %s\nquit\n" % src, None,
             ["ffmpeg", "-v", "error", "-y", "-i", src, "-f", "wav", peer_wav], peer_wav)
            for name, src in (("FLAC", flac), ("MP3", mp3), ("Ogg Vorbis", ogg), ("AAC", m4a))
        ] + [
            ("write FLAC -5", [args.program], "open %s\nsaveas %s level=5\nquit\n" % (wav, ours_out), ours_out,
             ["flac", "-s", "-f", "-5", "-o", peer_out, wav], peer_out),
        ] + [
            ("write MP3 -V2", [args.program], "open %s\nsaveas %s vbr=2\nquit\n" % (wav, ours_mp3), ours_mp3,
             ["lame", "--quiet", "-V2", wav, peer_mp3], peer_mp3),
            ("write Opus 128k", [args.program], "open %s\nsaveas %s bitrate=128000\nquit\n" % (wav, ours_opus),
             ours_opus, ["opusenc", "--quiet", "--bitrate", "128", wav, peer_opus], peer_opus),
        ]
        print("%-16s %10s %10s %8s" % ("work", "tidemark", "peer", "ratio"))
        for label, command, script, sync_path, peer, peer_sync in rows:
            ours, why = median_time(command, script, sync_path, args.runs)
            theirs, peer_why = median_time(peer, None, peer_sync, args.runs)
            if ours is None or theirs is None:
                print("%-16s failed: %s" % (label, why or peer_why))
                continue
            print("%-16s %9.2fs %9.2fs %8.2f" % (label, ours.wall, theirs.wall, ours.wall / theirs.wall))


if __name__ == "__main__":
    main()
