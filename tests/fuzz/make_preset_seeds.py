#!/usr/bin/python3
"""Writes small preset and chain files into corpus/fuzz_preset_file/ (the
first byte picks the reader: even a preset file, odd a chain file) and the
worst case for the reader's running time (as many empty presets as fit).
Run from anywhere; rerunning rewrites them."""
import struct

from seed_files import WORST_BYTES, write, write_worst


def header(minor, kind):
    return b'tide' + bytes([1, minor, 0, 0, 1, 8, 5, 2, 0, 0, 0, 0]) + kind


def data(body):
    return b'data' + body + (b'\0' if len(body) % 2 else b'')


def maps(kinds):
    out = b'mapc' + struct.pack('<I', 4)
    for kind in (0, 1, 2, 0x8000):
        names = b''.join(n + b'\0' for n in kinds.get(kind, []))
        out += b'map ' + struct.pack('<HHI', kind, len(kinds.get(kind, [])), len(names)) + data(names)
    return out


def wide(name):
    return b'wtxt' + name.encode('utf-16-le') if name else b''


def pres(name, block):
    return b'pres' + struct.pack('<II', len(name), len(block)) + wide(name) + data(block)


guid = b'12345678-9abc-def0-1234-56789abcdef0'
presets = (header(2, b'pres') + maps({0: [b'Fade', b'Volume'], 0x8000: [b'FLACEncode']})
           + b'pslc' + struct.pack('<I', 3)
           + b'psls' + struct.pack('<HHI', 0, 0, 2) + pres('Soft', b'\1\0') + pres('', b'\2\0\3')
           + b'psls' + struct.pack('<HHI', 0, 1, 1) + pres('soft', b'\x58\x02')
           + b'psls' + struct.pack('<HHI', 0x8000, 0, 0))
write('fuzz_preset_file', 'presets', b'\0' + presets)
write('fuzz_preset_file', 'presets_grown', b'\2' + presets)
old = (header(1, b'pres') + maps({0: [b'Volume']}) + b'pslc' + struct.pack('<I', 1)
       + b'psls' + struct.pack('<HHI', 0, 0, 1) + b'pres' + struct.pack('<II', 3, 2) + b'textAbc\0' + data(b'\1\2'))
write('fuzz_preset_file', 'presets_v1_1', b'\0' + old)
write('fuzz_preset_file', 'presets_v1_3', b'\0' + header(3, b'pres') + presets[20:])
chains = (header(2, b'chps') + maps({0: [b'Volume', b'Fade'], 2: [guid]}) + b'chpc' + struct.pack('<I', 2)
          + b'chps' + struct.pack('<III', 1, 5, 3) + wide('Radio')
          + b'chen' + struct.pack('<HHI', 0, 0, 2) + data(b'\xa8\xfd')
          + b'chen' + struct.pack('<HHI', 2, 0, 1) + data(b'\7')
          + b'chen' + struct.pack('<HHI', 0, 1, 0) + data(b'')
          + b'chps' + struct.pack('<III', 0, 0, 0))
write('fuzz_preset_file', 'chains', b'\1' + chains)
write('fuzz_preset_file', 'chains_plugin_gone', b'\x09' + chains)

# Every preset a name of its own: a reader that scans its list for each
# name would take quadratic time.
one = len(pres('a', b''))
count = (WORST_BYTES - 256) // one
write_worst('fuzz_preset_file', 'distinct_names',
            b'\0' + header(2, b'pres') + maps({0: [b'Volume']}) + b'pslc' + struct.pack('<I', 1)
            + b'psls' + struct.pack('<HHI', 0, 0, count)
            + b''.join(pres(chr(0x4E00 + i), b'') for i in range(count)))
