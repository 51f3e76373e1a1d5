// Adds labels from a text file.
//   tidemark-script add_labels.js FILE LABELS.txt [/out:FOLDER]
// LABELS.txt holds one label a line: SECONDS<tab>NAME[<tab>COMMENT];
// empty lines and lines starting with # are skipped. The file is saved
// with its labels (as FOLDER/NAME.wav with /out).
var lib = Script.LoadScript("common.js");
var path = Script.Arguments.Unnamed(0);
var lines = ReadTextFile(Script.Arguments.Unnamed(1)).split(/\r?\n/);
var doc = Application.Documents.Open(path);
var added = 0;
for (var i = 0; i < lines.length; ++i) {
  if (!lines[i] || lines[i].charAt(0) == "#") continue;
  var f = lines[i].split("\t");
  var seconds = Number(f[0]);
  if (isNaN(seconds) || f.length < 2) {
    Script.StdErr.WriteLine("add_labels.js: line " + (i + 1) + " skipped: " + lines[i]);
    continue;
  }
  doc.Labels.Add(seconds, f[1], f.length > 2 ? f[2] : "");
  ++added;
}
if (Script.Arguments.Named.Exists("out")) doc.SaveAs(lib.outFolder(path) + "/" + lib.baseName(path) + ".wav");
else doc.Save();
Script.Echo(added, "label(s) added,", doc.Labels.Count, "in all");
doc.Close();
