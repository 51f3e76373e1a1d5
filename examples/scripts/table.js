// Prints the format, length, peak and RMS of every file, one line each.
//   tidemark-script table.js FILE...
var lib = Script.LoadScript("common.js");
var list = new VBArray(lib.files()).toArray();
Script.StdOut.WriteLine(["file", "format", "rate", "channels", "seconds", "peak dBFS", "rms dBFS"].join("\t"));
for (var i = 0; i < list.length; ++i) {
  try {
    var doc = Application.Documents.Open(list[i]);
  } catch (e) {
    Script.StdErr.WriteLine(list[i] + ": " + e.description);
    continue;
  }
  lib.selectAll(doc);
  var info = doc.GetWaveformInfo();
  Script.StdOut.WriteLine([doc.Name, doc.PcmFileSample, doc.SampleRate, doc.Channels, doc.Length.toFixed(3),
                           lib.dB(info.Item("InstantPeak")), lib.dB(info.Item("Rms"))].join("\t"));
  doc.Close();
}
