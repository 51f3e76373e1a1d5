#!/usr/bin/python3
"""Writes the seed files of the 1-bit reader fuzz targets into
corpus/fuzz_dsdiff/, corpus/fuzz_dsf/ and corpus/fuzz_wsd/: small valid
DSDIFF files with markers, comments and titles, DSF files of both bit
orders with ID3v2 tags, and WSD files with text fields; and the readers'
worst cases in a size the corpus can keep (tens of thousands of empty
chunks, thousands of marks in reverse order, a long lyrics frame), so every
replay checks that their cost stays in proportion. Run from anywhere;
rerunning rewrites them."""
import os
import struct

from seed_files import HERE, samples, write

# The worst-case seeds are large on purpose, but the corpus stays small.
LARGE_SEED_LIMIT = 256 * 1024


def write_large(target, name, data):
    assert 8192 <= len(data) <= LARGE_SEED_LIMIT
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)

DSD64 = 2822400


# DSDIFF: chunks with 64-bit big-endian sizes and a pad byte after an odd body.
def chunk8(cid, body):
    return cid + struct.pack('>Q', len(body)) + body + (b'\0' if len(body) % 2 else b'')


def frm8(*chunks):
    return chunk8(b'FRM8', b'DSD ' + b''.join(chunks))


FVER = chunk8(b'FVER', struct.pack('>I', 0x01050000))


def prop(rate, channels, compression=b'DSD '):
    ids = [b'C000'] if channels == 1 else [b'SLFT', b'SRGT'] + [b'C%03d' % i for i in range(2, channels)]
    return chunk8(b'PROP', b'SND ' + chunk8(b'FS  ', struct.pack('>I', rate)) +
                  chunk8(b'CHNL', struct.pack('>H', channels) + b''.join(ids)) +
                  chunk8(b'CMPR', compression + bytes([14]) + b'not compressed' + b'\0'))


def mark(hours, minutes, seconds, sample, offset, kind, channel, text):
    return chunk8(b'MARK', struct.pack('>HBBIiHHHI', hours, minutes, seconds, sample, offset, kind, channel, 0,
                                       len(text)) + text)


def comt(*comments):
    body = struct.pack('>H', len(comments))
    for kind, ref, text in comments:
        body += struct.pack('>HBBBBHHI', 2024, 5, 6, 7, 8, kind, ref, len(text)) + text
        body += b'\0' if len(text) % 2 else b''
    return chunk8(b'COMT', body)


def counted(cid, text):
    return chunk8(cid, struct.pack('>I', len(text)) + text)


write('fuzz_dsdiff', 'stereo_markers.dff',
      frm8(FVER, prop(DSD64, 2), chunk8(b'DSD ', samples(64)),
           comt((0, 0, b'a comment'), (3, 2, b'Tidemark 1.8.5.2'), (2, 2, b'sampling rate = 2822400 Hz')),
           chunk8(b'DIIN', mark(0, 0, 1, 6400, -64, 0, 0, b'start') + mark(0, 0, 2, 0, 0, 1, 0, b'stop') +
                  mark(0, 0, 0, 640, 0, 4, 0, b'index') + mark(0, 0, 0, 64, 0, 3, 0, b'type 3') +
                  mark(0, 0, 0, 64, 0, 2, 1, b'channel 1') + counted(b'DITI', b'Title') +
                  counted(b'DIAR', b'Artist'))))
write('fuzz_dsdiff', 'mono_odd.dff', frm8(FVER, prop(DSD64 * 2, 1), chunk8(b'DSD ', samples(33))))
write('fuzz_dsdiff', 'dst.dff', frm8(FVER, prop(DSD64, 2, b'DST '), chunk8(b'DST ', samples(16))))
write('fuzz_dsdiff', 'list_before_data.dff',
      frm8(FVER, chunk8(b'LIST', b'INFO' + chunk8(b'NOTE', b'x')), prop(DSD64, 6), chunk8(b'DSD ', samples(48))))

# Worst cases: a table of 17,000 empty chunks at the top (it once grew 32
# entries at a time, copying itself on every step), and "DIIN" holding 1,900
# marks in reverse order with a "COMT" of as many comments.
HEAD = FVER + prop(DSD64, 2) + chunk8(b'DSD ', samples(64))
write_large('fuzz_dsdiff', 'many_empty_chunks.dff', frm8(HEAD, chunk8(b'JUNK', b'') * 17000))
write_large('fuzz_dsdiff', 'many_marks_and_comments.dff',
            frm8(HEAD, chunk8(b'DIIN', b''.join(mark(0, 0, 0, 64 * (1900 - i), 0, i % 5, 0, b'') for i in range(1900))),
                 comt(*[(1, 0, b'')] * 1899 + [(0, 0, b'last')])))


# DSF: little-endian header of 92 bytes, blocks of 4096 bytes per channel.
def dsf(rate, channels, bits, per_channel, metadata=b'', full_blocks=True):
    area = channels * ((per_channel + 4095) // 4096 * 4096) if full_blocks else channels * per_channel
    total = 92 + area + len(metadata)
    header = (b'DSD ' + struct.pack('<QQQ', 28, total, 92 + area if metadata else 0) +
              b'fmt ' + struct.pack('<QIIIIIIQII', 52, 1, 0, channels, channels, rate, bits, per_channel * 8, 4096, 0) +
              b'data' + struct.pack('<Q', area + 12))
    return header + samples(area) + metadata


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def id3_frame(fid, body):
    return fid + struct.pack('>I', len(body)) + b'\0\0' + body


def id3(*frames):
    body = b''.join(frames)
    return b'ID3\x03\x00\x00' + syncsafe(len(body)) + body


TAG = id3(id3_frame(b'TIT2', b'\0Title'), id3_frame(b'TPE1', b'\0Artist'), id3_frame(b'TCON', b'\0(17)'),
          id3_frame(b'COMM', b'\0engdesc\0a comment'),
          id3_frame(b'SYLT', b'\0eng\x02\x01\0one\0' + struct.pack('>I', 1000) + b'two\0' + struct.pack('>I', 2000)))

write('fuzz_dsf', 'stereo_lsb_tag.dsf', dsf(DSD64, 2, 1, 100, TAG, full_blocks=False))
write('fuzz_dsf', 'mono_msb.dsf', dsf(DSD64 * 4, 1, 8, 37, full_blocks=False))
write('fuzz_dsf', 'no_tag.dsf', dsf(DSD64, 2, 1, 64, full_blocks=False))
write('fuzz_dsf', 'mono_full_block_tag.dsf', dsf(DSD64, 1, 1, 4000, TAG))
# Worst case: a lyrics frame of 12,000 entries in reverse order, each a
# marker.
write_large('fuzz_dsf', 'long_lyrics.dsf',
            dsf(DSD64, 1, 1, 64, id3(id3_frame(b'SYLT', b'\0eng\x02\x01\0' + b''.join(
                b'\0' + struct.pack('>I', 10 * (12000 - i)) for i in range(12000)))), full_blocks=False))


# WSD: 2048-byte big-endian header with a text area of 1920 bytes at 128.
def wsd(rate, channels, data, texts=()):
    header = bytearray(2048)
    header[0:4] = b'1bit'
    header[8] = 0x10
    struct.pack_into('>IIII', header, 12, 2048 + len(data), 0, 128, 2048)
    struct.pack_into('>I', header, 36, rate)
    header[44] = channels
    header[48] = 0x10 if channels == 1 else 0x44
    header[128:] = b' ' * 1920
    for at, text in texts:
        header[128 + at:128 + at + len(text)] = text
    return bytes(header) + data


write('fuzz_wsd', 'stereo_texts.wsd',
           wsd(DSD64, 2, samples(32), [(0, b'  Title  '), (384, b'Artist\0\0'), (512, b'Album'), (640, b'Rock'),
                                       (672, b'2024'), (736, b'a comment')]))
write('fuzz_wsd', 'mono_blank.wsd', wsd(DSD64 * 2, 1, samples(7)))
