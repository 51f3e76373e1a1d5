#!/usr/bin/python3
"""Writes the seed files of the WAV fuzz targets into corpus/fuzz_wav_*/ and
corpus/fuzz_chunk_table/: small valid files of each header form (RIFF, RF64
and BW64), with and without cue points and labels, clipboard images, and the
worst cases for the readers' running time (worst_*: as many tiny chunks,
cue points or labels as fit). Run from anywhere; rerunning rewrites them."""
import struct

from seed_files import WORST_BYTES, chunk_bytes, samples, write, write_worst

PCM_GUID = bytes([1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])
FLOAT_GUID = bytes([3]) + PCM_GUID[1:]


def chunk(cid, body):
    return chunk_bytes(cid, body, '<')


def riff(*chunks):
    body = b'WAVE' + b''.join(chunks)
    return b'RIFF' + struct.pack('<I', len(body)) + body


def fmt(tag, channels, rate, width, extra=b''):
    block = width * channels
    return chunk(b'fmt ', struct.pack('<HHIIHH', tag, channels, rate, rate * block, block, width * 8) + extra)


def extensible(channels, rate, width, guid):
    return fmt(0xFFFE, channels, rate, width, struct.pack('<HHI', 22, width * 8, 4 if channels == 1 else 3) + guid)


def cues(points, packed=False):
    """Cue points with labels and notes; `packed` leaves out the pad bytes of
    odd-sized labels and notes, as some writers do."""
    sub = (lambda cid, body: cid + struct.pack('<I', len(body)) + body) if packed else chunk
    cue = struct.pack('<I', len(points))
    adtl = b'adtl'
    for i, (pos, name, note) in enumerate(points):
        cue += struct.pack('<II4sIII', i, pos, b'data', 0, 0, pos)
        adtl += sub(b'labl', struct.pack('<I', i) + name + b'\0')
        if note:
            adtl += sub(b'note', struct.pack('<I', i) + note + b'\0')
    return chunk(b'cue ', cue) + chunk(b'LIST', adtl)


def rf64(*chunks, magic=b'RF64', large=(b'data',), sample_count=0):
    """The RF64 form of riff(*chunks): a "ds64" chunk first, and 0xFFFFFFFF
    in the RIFF size and in the size of every chunk named in `large`
    ("data" finds its size in "ds64", the others in its table)."""
    body, table, data_size = b'', b'', 0
    for c in chunks:
        cid, size = c[:4], struct.unpack('<I', c[4:8])[0]
        if cid == b'data':
            data_size = size
        if cid in large:
            c = cid + struct.pack('<I', 0xFFFFFFFF) + c[8:]
            if cid != b'data':
                table += cid + struct.pack('<Q', size)
        body += c
    ds64 = struct.pack('<QQQI', 0, data_size, sample_count, len(table) // 12) + table
    total = 12 + 8 + len(ds64) + len(body)
    ds64 = struct.pack('<Q', total - 8) + ds64[8:]
    return magic + struct.pack('<I', 0xFFFFFFFF) + b'WAVE' + chunk(b'ds64', ds64) + body


files = {
    'pcm16_stereo.wav': riff(fmt(1, 2, 44100, 2), chunk(b'data', samples(64))),
    'u8_mono_odd.wav': riff(fmt(1, 1, 8000, 1), chunk(b'data', samples(33))),
    'float_fact.wav': riff(fmt(3, 2, 48000, 4, b'\0\0'), chunk(b'fact', struct.pack('<I', 8)),
                           chunk(b'data', samples(64))),
    # libsndfile's float header: no extra-size field.
    'float_sndfile.wav': riff(fmt(3, 1, 44100, 8), chunk(b'fact', struct.pack('<I', 4)), chunk(b'data', samples(32))),
    'ext_pcm24.wav': riff(extensible(2, 96000, 3, PCM_GUID), chunk(b'fact', struct.pack('<I', 4)),
                          chunk(b'data', samples(24))),
    'ext_float.wav': riff(extensible(1, 44100, 4, FLOAT_GUID), chunk(b'fact', struct.pack('<I', 9)),
                          chunk(b'data', samples(36)), chunk(b'LIST', b'INFOISFT' + struct.pack('<I', 4) + b'abc\0')),
    'adpcm.wav': riff(fmt(2, 1, 22050, 0, struct.pack('<H', 4) + b'\0\0\0\0'), chunk(b'fact', struct.pack('<I', 100)),
                      chunk(b'data', samples(40))),
}
with_cues = {
    'cues_three.wav': riff(fmt(1, 1, 8000, 2), chunk(b'data', samples(40)),
                           cues([(1, b'ab', b''), (5, b'abc', b'a note'), (9, b'', b'')])),
    'cues_float.wav': riff(fmt(3, 1, 8000, 4, b'\0\0'), chunk(b'fact', struct.pack('<I', 4)),
                           chunk(b'data', samples(16)), cues([(2, b'x', b'y'), (2, b'same place', b'')])),
}
info = chunk(b'LIST', b'INFOINAM' + struct.pack('<I', 4) + b'abc\0')
large_files = {
    'rf64_pcm16.wav': rf64(fmt(1, 2, 44100, 2), chunk(b'data', samples(64)), info),
    'bw64_float_counted.wav': rf64(fmt(3, 1, 48000, 4), chunk(b'fact', struct.pack('<I', 0xFFFFFFFF)),
                                   chunk(b'data', samples(36)), magic=b'BW64', sample_count=7),
    'rf64_cues_in_table.wav': rf64(fmt(1, 1, 8000, 2), chunk(b'data', samples(40)),
                                   cues([(1, b'ab', b'note'), (5, b'c', b'')]), info,
                                   large=(b'data', b'LIST', b'cue ')),
}
for name, data in {**files, **with_cues, **large_files}.items():
    write('fuzz_wav_probe', name, data)
packed_cues = riff(fmt(1, 1, 8000, 2), chunk(b'data', samples(40)),
                   cues([(1, b'odd', b'no'), (5, b'even', b'n'), (9, b'last', b'')], packed=True))
for name, data in {**with_cues, 'pcm16_stereo.wav': files['pcm16_stereo.wav'], 'cues_packed.wav': packed_cues,
                   'rf64_cues_in_table.wav': large_files['rf64_cues_in_table.wav']}.items():
    write('fuzz_wav_cues', name, data)
write('fuzz_wav_clipboard', 'image16.wav', files['pcm16_stereo.wav'])
write('fuzz_wav_clipboard', 'image8.wav', files['u8_mono_odd.wav'])
write('fuzz_wav_clipboard', 'image_ext24.wav',
      riff(extensible(2, 44100, 3, PCM_GUID), chunk(b'data', samples(30))))
write('fuzz_wav_clipboard', 'image_extra.wav', riff(fmt(1, 1, 22050, 4, b'\0\0'), chunk(b'data', samples(20))))


# Worst cases: the room left for records after a small head and tail.
room = WORST_BYTES - 256
empty = chunk(b'JUNK', b'')
write_worst('fuzz_wav_probe', 'tiny_chunks.wav',
            riff(fmt(1, 1, 8000, 2), *[empty] * (room // 8), chunk(b'fact', struct.pack('<I', 1)),
                 chunk(b'data', samples(20))))
# Every size from the "ds64" table: 20 bytes a chunk, each one patched in the RIFF view.
write_worst('fuzz_wav_probe', 'rf64_table_sizes.wav',
            rf64(fmt(3, 1, 8000, 4), *[empty] * (room // 20), chunk(b'data', samples(20)), large=(b'data', b'JUNK')))
write_worst('fuzz_chunk_table', 'lists.wav', riff(*[chunk(b'LIST', b'adtl')] * (room // 12)))
write_worst('fuzz_chunk_table', 'one_deep_list.wav', riff(chunk(b'LIST', b'adtl' + chunk(b'labl', b'') * (room // 8))))
write_worst('fuzz_wav_clipboard', 'tiny_chunks.wav',
            riff(*[empty] * (room // 8), fmt(1, 1, 8000, 2), chunk(b'data', samples(20))))
# Cue points whose positions run backwards, each with a label and a note;
# then all of them under one identifier, which every label names.
n = room // (24 + 14 + 14)
cue = struct.pack('<I', n) + b''.join(struct.pack('<II4sIII', i, 0, b'data', 0, 0, n - i) for i in range(n))
adtl = b'adtl' + b''.join(chunk(b'labl', struct.pack('<I', i) + b'a\0') + chunk(b'note', struct.pack('<I', i) + b'b\0')
                          for i in range(n))
write_worst('fuzz_wav_cues', 'cues_backwards.wav', riff(fmt(1, 1, 8000, 2), chunk(b'data', samples(20)),
                                                        chunk(b'cue ', cue), chunk(b'LIST', adtl)))
n = room // (24 + 14)
cue = struct.pack('<I', n) + struct.pack('<II4sIII', 7, 0, b'data', 0, 0, 3) * n
adtl = b'adtl' + chunk(b'labl', struct.pack('<I', 7) + b'a\0') * n
write_worst('fuzz_wav_cues', 'one_identifier_rf64.wav', rf64(fmt(1, 1, 8000, 2), chunk(b'data', samples(20)),
                                                          chunk(b'cue ', cue), chunk(b'LIST', adtl)))
