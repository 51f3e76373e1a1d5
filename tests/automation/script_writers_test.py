#!/usr/bin/python3
"""The MP3 (system codec), AAC and WMA writers from a script run by
tidemark-script: each file read back by ffprobe (codec, rate, channels,
bitrate) and by mutagen (tags, the ID3 version MP3's Unicode picks); a
file-size limit reached mid-file fails the script and leaves no file."""
import os
import resource
import struct
import subprocess
import tempfile
import unittest

import mutagen

SCRIPT = os.environ.get("TIDEMARK_SCRIPT", "")

# ARGS: writer source target [/v1] [/latin]; writes the last format listed
# for 48 kHz mono (of wmav1 with /v1).
ENCODE = """
var named = Script.Arguments.Named, w = Application.CreateFileWriter(Script.Arguments.Unnamed(0));
var info = named.Exists("v1") ? w.CodecFormat.Parent.Parent.Item(0) : w.CodecFormat.Parent;
if (named.Exists("latin")) w.Unicode = false;
var formats = new VBArray(info.GetCodecFormats(48000, 1)).toArray();
w.CodecFormat = formats[formats.length - 1];
w.Process(Application.CreateSoundClip(Script.Arguments.Unnamed(1)), Script.Arguments.Unnamed(2));
"""


def chunk(tag, body):
    return tag + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


class ScriptWritersTest(unittest.TestCase):
    def test_files_and_tags(self):
        self.assertTrue(SCRIPT and os.access(SCRIPT, os.X_OK), "TIDEMARK_SCRIPT must name tidemark-script")
        self.assertTrue(os.access("/usr/bin/ffprobe", os.X_OK), "peer missing: /usr/bin/ffprobe")
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        path = lambda name: os.path.join(tmp.name, name)
        # 0.25 s of 8 kHz stereo with a title and an artist in LIST/INFO.
        data = b"".join(struct.pack("<hh", (n * 37) % 20000 - 10000, 0) for n in range(2000))
        info = b"INFO" + chunk(b"INAM", b"Tide Title\0") + chunk(b"IART", b"Tide Artist\0")
        with open(path("in.wav"), "wb") as f:
            f.write(chunk(b"RIFF", b"WAVE" + chunk(b"fmt ", struct.pack("<HHIIHH", 1, 2, 8000, 32000, 4, 16)) +
                          chunk(b"data", data) + chunk(b"LIST", info)))
        with open(path("encode.js"), "w") as f:
            f.write(ENCODE)
        env = dict(os.environ, HOME=tmp.name)
        for writer, name, flags, probe, tags in (
                ("aac", "a.m4a", [], "aac,48000,1,", ("\xa9nam", "\xa9ART", None)),
                ("mp3", "u.mp3", [], "mp3,48000,1,32000", ("TIT2", "TPE1", (2, 4, 0))),
                ("mp3", "l.mp3", ["/latin"], "mp3,48000,1,32000", ("TIT2", "TPE1", (2, 3, 0))),
                ("wma", "2.wma", [], "wmav2,48000,1,24000", ("Title", "Author", None)),
                ("wma", "1.wma", ["/v1"], "wmav1,48000,1,24000", ("Title", "Author", None))):
            r = subprocess.run([SCRIPT, path("encode.js"), writer, path("in.wav"), path(name)] + flags,
                               capture_output=True, text=True, cwd=tmp.name, env=env, timeout=120)
            self.assertEqual(r.returncode, 0, r.stderr)
            entries = "codec_name,sample_rate,channels" + (",bit_rate" if writer != "aac" else "")
            got = subprocess.run(["/usr/bin/ffprobe", "-v", "error", "-show_entries", "stream=" + entries, "-of",
                                  "csv=p=0", path(name)], capture_output=True, text=True).stdout
            self.assertEqual(got.strip(), probe.rstrip(","), name)
            f = mutagen.File(path(name))
            # FFmpeg's ASF muxer puts the author in two objects; mutagen lists both.
            self.assertEqual({str(v) for v in f.tags[tags[0]]}, {"Tide Title"}, name)
            self.assertEqual({str(v) for v in f.tags[tags[1]]}, {"Tide Artist"}, name)
            if tags[2]:
                self.assertEqual(f.tags.version, tags[2], name)

    def test_file_size_limit_leaves_no_file(self):
        """A write refused by the file-size limit (EFBIG, as a full disk) fails the
        script with an error and leaves neither the target nor a hidden part."""
        self.assertTrue(SCRIPT and os.access(SCRIPT, os.X_OK), "TIDEMARK_SCRIPT must name tidemark-script")
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        out = os.path.join(tmp.name, "out")
        os.mkdir(out)
        # 30 s of 48 kHz stereo noise-like samples: every encoding exceeds 64 KiB.
        data = b"".join(struct.pack("<hh", (n * 7919) % 60000 - 30000, (n * 104729) % 60000 - 30000)
                        for n in range(48000 * 30))
        source = os.path.join(tmp.name, "in.wav")
        with open(source, "wb") as f:
            f.write(chunk(b"RIFF", b"WAVE" + chunk(b"fmt ", struct.pack("<HHIIHH", 1, 2, 48000, 192000, 4, 16)) +
                          chunk(b"data", data)))
        script = os.path.join(tmp.name, "write.js")
        with open(script, "w") as f:
            f.write("Application.CreateFileWriter(Script.Arguments.Unnamed(0))"
                    ".Process(Application.CreateSoundClip(Script.Arguments.Unnamed(1)), Script.Arguments.Unnamed(2));")
        limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (65536, 65536))
        # Working files go to a folder without the limit's reach only if small:
        # the clip of a WAV file reads it in place, so only the target grows.
        env = dict(os.environ, HOME=tmp.name)
        for writer, name in (("aac", "a.m4a"), ("mp3", "s.mp3"), ("lame", "l.mp3"), ("flac", "f.flac"),
                             ("pcm", "p.wav")):
            r = subprocess.run([SCRIPT, script, writer, source, os.path.join(out, name)], capture_output=True,
                               text=True, cwd=tmp.name, env=env, timeout=120, preexec_fn=limit)
            self.assertGreater(r.returncode, 0, "%s: %s" % (name, r.stderr))  # failed, not killed by a signal
            self.assertTrue(r.stderr.strip(), name)
            self.assertEqual(os.listdir(out), [], name)


if __name__ == "__main__":
    unittest.main()
