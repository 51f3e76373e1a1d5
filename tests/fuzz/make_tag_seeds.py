#!/usr/bin/python3
"""Writes the worst cases for the running time of the tag readers into
corpus/fuzz_id3v2/, corpus/fuzz_vorbis_comments/ and corpus/fuzz_app_private/
(worst_*: as many tiny frames, lyrics, comments or entries as fit). Their
other seeds come from mutagen and by hand. Run from anywhere; rerunning
rewrites them."""
import struct

from seed_files import WORST_BYTES, write_worst

room = WORST_BYTES - 256


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def id3v4(frames):
    return b'ID3\x04\x00\x00' + syncsafe(len(frames)) + frames


def frame4(fid, body):
    return fid + syncsafe(len(body)) + b'\0\0' + body


# One-byte text frames, each a frame of its own to keep.
write_worst('fuzz_id3v2', 'tiny_frames_v4', id3v4(frame4(b'TIT2', b'\x03') * (room // 11)))
# One synchronised-lyrics frame in milliseconds: every entry a marker.
entries = b''.join(b'a\0' + struct.pack('>I', i) for i in range((room - 40) // 6))
write_worst('fuzz_id3v2', 'lyrics_markers_v4', id3v4(frame4(b'SYLT', b'\x03eng\x02\x01d\0' + entries)))

# Vorbis comments: empty ones, then one key over and over.
count = (room - 8) // 4
write_worst('fuzz_vorbis_comments', 'empty_comments.bin', struct.pack('<II', 0, count) + b'\0\0\0\0' * count)
count = (room - 8) // 12
write_worst('fuzz_vorbis_comments', 'one_key.bin',
            struct.pack('<II', 0, count) + (struct.pack('<I', 8) + b'ARTIST=a') * count)

# AppPrivate texts: pairs, and keys that each take the next entry as value.
write_worst('fuzz_app_private', 'pairs.txt', b'a=b ' * (room // 4))
write_worst('fuzz_app_private', 'keys_alone.txt', b'TNO= ' * (room // 5))
