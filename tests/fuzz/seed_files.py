"""What the seed-file scripts share: chunks in either byte order, sample
bytes, and writing a seed or a worst case into corpus/<target>/."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def chunk_bytes(cid, body, order):
    """A chunk with its size in `order` ('<' or '>') and a pad byte after an odd body."""
    return cid + struct.pack(order + 'I', len(body)) + body + (b'\0' if len(body) % 2 else b'')


def samples(n):
    return bytes((i * 37 + 11) & 0xFF for i in range(n))


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    # Seeds stay small (a WSD header or a DSF block group is the largest) so
    # the fuzzer mutates structure, not bulk data.
    assert len(data) < 8192
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


# Worst cases for a reader's running time: as many tiny records as fit in
# half a mebibyte. That is enough for a reader gone quadratic to pass
# libFuzzer's one-second timeout under the sanitizers, and stays well
# below the 1 MB that every input must open within a second.
WORST_BYTES = 512 * 1024


def write_worst(target, name, data):
    assert len(data) <= WORST_BYTES, (name, len(data))
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, 'worst_' + name), 'wb') as f:
        f.write(data)
