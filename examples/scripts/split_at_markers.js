// Splits a file at its markers into numbered files.
//   tidemark-script split_at_markers.js [/out:FOLDER] FILE
// Writes FOLDER/NAME_01.wav, NAME_02.wav, ... : the stretch before the
// first marker, between markers, and after the last one (empty stretches
// are skipped).
var lib = Script.LoadScript("common.js");
var path = Script.Arguments.Unnamed(0);
var doc = Application.Documents.Open(path);
var cuts = [0];
for (var e = new Enumerator(doc.Labels); !e.atEnd(); e.moveNext()) cuts.push(e.item().Position);
cuts.push(doc.Length);
cuts.sort(function (a, b) { return a - b; });
var part = 0;
for (var i = 0; i + 1 < cuts.length; ++i) {
  if (cuts[i + 1] <= cuts[i]) continue;
  doc.SelectionFrom = cuts[i];
  doc.SelectionTo = cuts[i + 1];
  var piece = Application.Documents.AddSoundClip(doc.CreateSoundClip());
  ++part;
  var name = lib.outFolder(path) + "/" + lib.baseName(path) + "_" + (part < 10 ? "0" : "") + part + ".wav";
  piece.SaveAs(name, doc.PcmFileSample);
  Script.Echo(name, piece.Length.toFixed(3));
  piece.Close();
}
doc.Close();
