#!/usr/bin/python3
"""Writes the seed files of the WAV fuzz targets into corpus/fuzz_wav_*/:
small valid files of each header form, with and without cue points and
labels, and clipboard images. Run from anywhere; rerunning rewrites them."""
import struct

from seed_files import chunk_bytes, samples, write

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


files = {
    'pcm16_stereo.wav': riff(fmt(1, 2, 44100, 2), chunk(b'data', samples(64))),
    'u8_mono_odd.wav': riff(fmt(1, 1, 8000, 1), chunk(b'data', samples(33))),
    'float_fact.wav': riff(fmt(3, 2, 48000, 4, b'\0\0'), chunk(b'fact', struct.pack('<I', 8)),
                           chunk(b'data', samples(64))),
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
for name, data in {**files, **with_cues}.items():
    write('fuzz_wav_probe', name, data)
packed_cues = riff(fmt(1, 1, 8000, 2), chunk(b'data', samples(40)),
                   cues([(1, b'odd', b'no'), (5, b'even', b'n'), (9, b'last', b'')], packed=True))
for name, data in {**with_cues, 'pcm16_stereo.wav': files['pcm16_stereo.wav'], 'cues_packed.wav': packed_cues}.items():
    write('fuzz_wav_cues', name, data)
write('fuzz_wav_clipboard', 'image16.wav', files['pcm16_stereo.wav'])
write('fuzz_wav_clipboard', 'image8.wav', files['u8_mono_odd.wav'])
write('fuzz_wav_clipboard', 'image_ext24.wav',
      riff(extensible(2, 44100, 3, PCM_GUID), chunk(b'data', samples(30))))
write('fuzz_wav_clipboard', 'image_extra.wav', riff(fmt(1, 1, 22050, 4, b'\0\0'), chunk(b'data', samples(20))))
