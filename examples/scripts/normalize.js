// Normalises files to a peak level.
//   tidemark-script normalize.js [/peak:-1] [/out:FOLDER] FILE...
// Scales each file so that its highest sample reaches the level in dBFS
// (default -1) and saves it as FOLDER/NAME.wav (in place without /out).
var lib = Script.LoadScript("common.js");
var target = Number(Script.Arguments.Named.Item("peak") || -1);
var list = new VBArray(lib.files()).toArray();
for (var i = 0; i < list.length; ++i) {
  var doc = Application.Documents.Open(list[i]);
  lib.selectAll(doc);
  var peak = doc.GetWaveformInfo().Item("InstantPeak");
  if (peak > 0) {
    doc.AddGain(Math.pow(10, target / 20) / peak);
  }
  if (Script.Arguments.Named.Exists("out")) doc.SaveAs(lib.outFolder(list[i]) + "/" + lib.baseName(list[i]) + ".wav");
  else doc.Save();
  Script.Echo(list[i], lib.dB(peak), "->", lib.dB(doc.GetWaveformInfo().Item("InstantPeak")));
  doc.Close();
}
