#!/usr/bin/python3
"""Writes the seeds of corpus/fuzz_av_glue/: a stream's duration, time base
and rate as FFmpeg gives them (int64, two int32, uint32, little-endian),
then container metadata as NUL-separated keys and values; and the worst
case for the tag mapping's running time (as many tiny entries as fit). Run
from anywhere; rerunning rewrites them."""
import struct

from seed_files import WORST_BYTES, write, write_worst


def head(duration, num, den, rate):
    return struct.pack('<qiiI', duration, num, den, rate)


def entries(*pairs):
    return b''.join(k + b'\0' + v + b'\0' for k, v in pairs)


write('fuzz_av_glue', 'mp4_samples', head(441000, 1, 44100, 44100) + entries(
    (b'title', b'A title'), (b'artist', b'Someone'), (b'track', b'3/12'), (b'comment', b'note'),
    (b'encoder', b'Lavf59.27.100')))
write('fuzz_av_glue', 'asf_100ns', head(100000000, 1, 10000000, 48000) + entries(
    (b'Title', '\u6d77\u306e\u6b4c'.encode()), (b'WM/AlbumTitle', b'x'), (b'copyright', b'(c)')))
write('fuzz_av_glue', 'ogg_vorbis_keys', head(88641, 1, 44100, 44100) + entries(
    (b'TITLE', b'a'), (b'ALBUM', b'b'), (b'TRACKNUMBER', b'1'), (b'CONTACT', b'http://x'), (b'ISRC', b'XX')))
write('fuzz_av_glue', 'huge_duration', head(2**63 - 1, 2**31 - 1, 1, 384000) + entries((b'genre', b'\xff\xfe')))
write('fuzz_av_glue', 'unknown_length', head(-9223372036854775808, 0, 0, 0) + entries((b'date', b'2026')))

count = (WORST_BYTES - 20) // 4
write_worst('fuzz_av_glue', 'tiny_entries', head(1, 1, 1, 1) + entries(*[(b'a', b'b')] * count))
