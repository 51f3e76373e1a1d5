#!/usr/bin/python3
"""Worst cases for the workspace reader's running time in
corpus/fuzz_workspace_reader/: as many tiny documents, segments or markers
as fit in half a mebibyte, over the working file wav0012.tmp (3,000 stereo
16-bit frames) that the fuzz target puts in its working folder. The other
seeds there are workspaces written by the program itself."""
import struct

from seed_files import WORST_BYTES, write_worst

S16 = 2


def text(s):
    return b'wtxt' + s.encode('utf-16-le')


def header():
    return b'tide' + bytes([1, 1, 0, 0, 1, 8, 5, 2])


def sources():
    name = 'wav0012.tmp'
    sf0 = b'sf0 ' + struct.pack('<IIHHIHHH', 3000, 44100, S16, 2, 0, 4, len(name), 0) + text(name)
    return b'sfc ' + struct.pack('<III', 1, 1, 1) + sf0


def edit(length, segments, markers):
    body = struct.pack('<IHHHHIIIHHII', 44100, 2, S16, 0, 0, 0, 0, 0, 3, 0, 0, 0)
    body += bytes(24) + struct.pack('<II', 0, 0)
    body += struct.pack('<IIIIIIIII', length, segments, markers, markers, 0, 0, 0, 0, 0)
    body += bytes(76)
    record = b'edit' + body
    assert len(record) == 184, len(record)
    return record


def sblk(length, position, offset):
    return b'sblk' + struct.pack('<IIII', length, position, offset, 0) + struct.pack('<ffff', 1, 1, 0, 0)


def cue(position):
    return b'cue ' + struct.pack('<III', position, 0, 0)


def workspace(documents):
    return header() + sources() + b'edc ' + struct.pack('<I', len(documents)) + b''.join(documents)


fixed = len(workspace([]))

# Documents are far heavier than records (each is created, listed, written
# twice and closed twice by the target): a thousand of them.
one_frame = edit(1, 1, 0) + sblk(1, 0, 0)
write_worst('fuzz_workspace_reader', 'many_documents', workspace([one_frame] * 1000))

n = (WORST_BYTES - fixed - 184) // 36
write_worst('fuzz_workspace_reader', 'many_segments',
            workspace([edit(n, n, 0) + b''.join(sblk(1, i, i % 3000) for i in range(n))]))

n = (WORST_BYTES - fixed - 220) // 16
write_worst('fuzz_workspace_reader', 'many_markers',
            workspace([edit(3000, 1, n) + sblk(3000, 0, 0) + b''.join(cue(i % 3000) for i in range(n))]))
