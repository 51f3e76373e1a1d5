// Encodes every file named on the command line with a file writer.
//   tidemark-script encode.js /writer:flac|lame|1bit [/format:N] [/out:FOLDER] FILE...
// flac writes NAME.flac at the source's rate and width; lame writes
// NAME.mp3 in the N-th format (from 0) that GetCodecFormats lists for
// 44100 Hz stereo (0 is 320 kbit/s CBR); 1bit writes NAME.dsf at 2822400 Hz.
var lib = Script.LoadScript("common.js");
var kind = Script.Arguments.Named.Item("writer");
var ext = {flac: ".flac", lame: ".mp3", "1bit": ".dsf"}[kind];
if (!ext) {
  Script.StdErr.WriteLine("encode.js: give the writer as /writer:flac, /writer:lame or /writer:1bit");
  Script.Quit(2);
}
var writer = Application.CreateFileWriter(kind);
if (kind == "lame") {
  var formats = new VBArray(writer.CodecFormat.Parent.GetCodecFormats(44100, 2)).toArray();
  var chosen = formats[Number(Script.Arguments.Named.Item("format") || 0)];
  writer.CodecFormat = chosen;
  Script.Echo("format:", chosen.Desc);
}
var list = new VBArray(lib.files()).toArray();
for (var i = 0; i < list.length; ++i) {
  var clip = Application.CreateSoundClip(list[i]);
  var target = lib.outFolder(list[i]) + "/" + lib.baseName(list[i]) + ext;
  writer.Process(clip, target);
  Script.Echo(list[i], "->", target);
}
Script.Echo(list.length, "file(s) encoded");
