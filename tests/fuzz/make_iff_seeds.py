#!/usr/bin/python3
"""Writes the seed files of the AIFF and AU fuzz targets into
corpus/fuzz_iff_probe/ and corpus/fuzz_au_probe/: small valid files of each
layout, AIFF/AIFC ones with markers and comments, and the worst cases for
the FORM readers' running time (worst_*). The AU probe reads six words
whatever the file holds, so it has none. Run from anywhere; rerunning
rewrites them."""
import struct

from seed_files import WORST_BYTES, chunk_bytes, samples, write, write_worst



def chunk(cid, body):
    return chunk_bytes(cid, body, '>')


def form(kind, *chunks):
    body = kind + b''.join(chunks)
    return b'FORM' + struct.pack('>I', len(body)) + body


def ext80(n):
    shifts = 0
    while not n & 0x80000000:
        n <<= 1
        shifts += 1
    return struct.pack('>HI', 16414 - shifts, n) + b'\0\0\0\0'


def comm(channels, frames, bits, rate, compression=b'', name=b''):
    return chunk(b'COMM', struct.pack('>HIH', channels, frames, bits) + ext80(rate) + compression + name)


def pascal(text):
    out = bytes([len(text)]) + text
    return out + (b'\0' if len(out) % 2 else b'')


def ssnd(data):
    return chunk(b'SSND', b'\0' * 8 + data)


FVER = chunk(b'FVER', struct.pack('>I', 0xA2805140))


def markers(entries):
    mark = struct.pack('>H', len(entries))
    comments = []
    for i, (pos, name, note) in enumerate(entries, 1):
        mark += struct.pack('>HI', i, pos) + pascal(name)
        if note:
            comments.append(struct.pack('>IHH', 0xDEADBEEF, i, len(note)) + note + (b'\0' if len(note) % 2 else b''))
    out = chunk(b'MARK', mark)
    if comments:
        out += chunk(b'COMT', struct.pack('>H', len(comments)) + b''.join(comments))
    return out


def au(encoding, channels, rate, data, size=None):
    header = struct.pack('>4sIIIII', b'.snd', 32, len(data) if size is None else size, encoding, rate, channels)
    return header + b'\0' * 8 + data


write('fuzz_iff_probe', 'aiff16_markers.aif',
      form(b'AIFF', comm(2, 8, 16, 44100), ssnd(samples(32)),
           markers([(1, b'ab', b'a comment'), (5, b'', b''), (5, b'same place', b'odd')])))
write('fuzz_iff_probe', 'aiff8_odd.aif', form(b'AIFF', comm(1, 5, 8, 8000), ssnd(samples(5))))
write('fuzz_iff_probe', 'aifc_sowt24.aifc',
      form(b'AIFC', FVER, comm(2, 4, 24, 48000, b'sowt', pascal(b'not compressed')), ssnd(samples(24)),
           markers([(3, b'x', b'')])))
write('fuzz_iff_probe', 'aifc_fl32_short_comm.aifc',
      form(b'AIFC', FVER, comm(1, 4, 32, 22050, b'fl32'), ssnd(samples(16))))
write('fuzz_iff_probe', 'aifc_fl64.aifc',
      form(b'AIFC', FVER, comm(1, 2, 64, 96000, b'fl64', pascal(b'64-bit floating point')), ssnd(samples(16))))
for encoding, name in [(2, 's8'), (3, 's16'), (4, 's24'), (5, 's32'), (6, 'f32'), (7, 'f64')]:
    write('fuzz_au_probe', name + '.au', au(encoding, 2, 8000, samples(48)))
write('fuzz_au_probe', 'to_end.au', au(3, 1, 11025, samples(21), 0xFFFFFFFF))

write('fuzz_iff_probe', 'aifc_FL32_sndfile.aifc',
      form(b'AIFC', FVER, comm(2, 2, 32, 44100, b'FL32', b'\0\0'), ssnd(samples(16))))

# Worst cases: as many empty chunks as fit; the most markers a count can
# announce, then comments for them in turn until the room is used.
room = WORST_BYTES - 256
write_worst('fuzz_iff_probe', 'tiny_chunks.aif',
            form(b'AIFF', comm(1, 4, 16, 8000), ssnd(samples(8)), *[chunk(b'    ', b'')] * (room // 8)))
count = 32767
mark = struct.pack('>H', count) + b''.join(struct.pack('>HI', i, i) + pascal(b'm') for i in range(1, count + 1))
notes = (room - len(mark) - 16) // 10
comt = struct.pack('>H', notes) + b''.join(struct.pack('>IHH', 0, 1 + (i * 7919) % count, 2) + b'cc'
                                           for i in range(notes))
write_worst('fuzz_iff_probe', 'markers_and_comments.aif',
            form(b'AIFF', comm(1, 4, 16, 8000), ssnd(samples(8)), chunk(b'MARK', mark), chunk(b'COMT', comt)))
