// Converts every .wav file of a folder to MP3 through LAME, at one format of
// the codec's list.
//   tidemark-script folder_to_mp3.js [/vbr] [/rate:HZ] [/channels:1|2] [/format:F] [/list] IN OUT
// The candidates are what GetCodecFormats lists for HZ (44100) and the
// channels (2): constant-bitrate formats, or quality formats with /vbr.
// /format: picks one by its description ("192 kbps, 44 kHz, stereo, CBR",
// spaces and case ignored) or by its figure (192 kbit/s, quality 90);
// without it the writer's default (128 kbit/s CBR) when listed, else the
// first. /list prints the candidates and ends. Every file is encoded at the
// chosen format's rate and channels; exit status 1 when a file failed, 2
// when no format matched.
var lib = Script.LoadScript("common.js");
var named = Script.Arguments.Named;
var writer = Application.CreateFileWriter("lame");
var info = writer.CodecFormat.Parent;
info.IsVBR = named.Exists("vbr");
var formats = new VBArray(info.GetCodecFormats(Number(named.Item("rate") || 44100),
                                               Number(named.Item("channels") || 2))).toArray();
function squeeze(text) { return String(text).replace(/\s+/g, "").toLowerCase(); }
function list(stream) { for (var i = 0; i < formats.length; ++i) stream.WriteLine(formats[i].Desc); }
if (named.Exists("list")) {
  list(Script.StdOut);
  Script.Quit(0);
}
var want = named.Item("format"), chosen = null;
for (var i = 0; i < formats.length && !chosen; ++i) {
  var f = formats[i], figure = f.IsQualityBased ? f.Quality : f.Bitrate / 1000;
  if (want ? squeeze(f.Desc) == squeeze(want) || String(figure) == squeeze(want) : f.Desc == writer.CodecFormat.Desc)
    chosen = f;
}
if (!chosen && !want && formats.length) chosen = formats[0];
if (!chosen) {
  Script.StdErr.WriteLine("folder_to_mp3.js: no format matches " + (want || "") + "; the candidates:");
  list(Script.StdErr);
  Script.Quit(2);
}
writer.CodecFormat = chosen;
Script.Echo("format:", chosen.Desc);
Script.Quit(lib.convertFolder(writer, ".mp3", "folder_to_mp3.js [/vbr] [/rate:HZ] [/channels:N] [/format:F] IN OUT"));
