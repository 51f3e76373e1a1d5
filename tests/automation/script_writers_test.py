#!/usr/bin/python3
"""The MP3 (system codec), AAC and WMA writers from a script run by
tidemark-script: the files' tags read back by mutagen."""
import os
import struct
import subprocess
import tempfile
import unittest

import mutagen

SCRIPT = os.environ.get("TIDEMARK_SCRIPT", "")

# Writes the last format its codec lists for 48 kHz mono.
ENCODE = """
var w = Application.CreateFileWriter(Script.Arguments.Unnamed(0));
if (Script.Arguments.Named.Exists("latin")) w.Unicode = false;
var formats = new VBArray(w.CodecFormat.Parent.GetCodecFormats(48000, 1)).toArray();
w.CodecFormat = formats[formats.length - 1];
w.Process(Application.CreateSoundClip(Script.Arguments.Unnamed(1)), Script.Arguments.Unnamed(2));
Script.Echo(w.CodecFormat.Desc);
"""


def chunk(tag, body):
    return tag + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


def write_tagged_wav(path):
    """0.25 s of 16-bit stereo 8 kHz ramp with a title and an artist."""
    fmt = struct.pack("<HHIIHH", 1, 2, 8000, 32000, 4, 16)
    data = b"".join(struct.pack("<hh", (n * 37) % 20000 - 10000, 0) for n in range(2000))
    info = b"INFO" + chunk(b"INAM", b"Tide Title\0") + chunk(b"IART", b"Tide Artist\0")
    body = b"WAVE" + chunk(b"fmt ", fmt) + chunk(b"data", data) + chunk(b"LIST", info)
    with open(path, "wb") as f:
        f.write(chunk(b"RIFF", body))


class ScriptWritersTest(unittest.TestCase):
    def setUp(self):
        self.assertTrue(SCRIPT and os.access(SCRIPT, os.X_OK), "TIDEMARK_SCRIPT must name tidemark-script")
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.env = dict(os.environ, HOME=self.dir.name, XDG_CONFIG_HOME=os.path.join(self.dir.name, "config"))
        self.source = os.path.join(self.dir.name, "in.wav")
        write_tagged_wav(self.source)
        self.script = os.path.join(self.dir.name, "encode.js")
        with open(self.script, "w") as f:
            f.write(ENCODE)

    def encode(self, writer, name, *flags):
        target = os.path.join(self.dir.name, name)
        r = subprocess.run([SCRIPT, self.script, writer, self.source, target] + list(flags), capture_output=True,
                           text=True, cwd=self.dir.name, env=self.env, timeout=120)
        self.assertEqual(r.returncode, 0, r.stderr)
        return r.stdout, mutagen.File(target)

    def test_tags_of_each_container(self):
        for writer, name, desc, title, artist in (
                ("aac", "out.m4a", " 96 kbps, 48 kHz, mono, CBR", "\xa9nam", "\xa9ART"),
                ("mp3", "out.mp3", " 32 kbps, 48 kHz, mono, CBR", "TIT2", "TPE1"),
                ("wma", "out.wma", " 24 kbps, 48 kHz, mono, CBR", "Title", "Author")):
            out, f = self.encode(writer, name)
            self.assertIn(desc + "\n", out, writer)
            self.assertEqual(f.info.sample_rate, 48000, writer)
            if writer != "aac":  # FFmpeg's MP4 sample entry says 2 whatever the stream (ffprobe sees 1)
                self.assertEqual(f.info.channels, 1, writer)
            # FFmpeg's ASF muxer puts the author in two objects; mutagen lists both.
            self.assertEqual({str(v) for v in f.tags[title]}, {"Tide Title"}, writer)
            self.assertEqual({str(v) for v in f.tags[artist]}, {"Tide Artist"}, writer)

    def test_mp3_unicode_picks_the_id3_version(self):
        self.assertEqual(self.encode("mp3", "utf8.mp3")[1].tags.version, (2, 4, 0))
        latin = self.encode("mp3", "latin.mp3", "/latin")[1]
        self.assertEqual(latin.tags.version, (2, 3, 0))
        self.assertEqual(str(latin.tags["TIT2"]), "Tide Title")


if __name__ == "__main__":
    unittest.main()
