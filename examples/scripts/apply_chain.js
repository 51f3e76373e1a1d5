// Applies a stored effect chain to many files.
//   tidemark-script apply_chain.js /chain:NAME [/out:FOLDER] FILE...
// The chain is one made in the editor (chain new / chain add). Each file
// is processed whole and saved as FOLDER/NAME.wav (in place without /out).
var lib = Script.LoadScript("common.js");
var chain = Script.Arguments.Named.Item("chain");
if (!chain) {
  Script.StdErr.WriteLine("apply_chain.js: give the chain as /chain:NAME");
  Script.Quit(2);
}
var list = new VBArray(lib.files()).toArray();
var failed = 0;
for (var i = 0; i < list.length; ++i) {
  var doc = Application.Documents.Open(list[i]);
  try {
    lib.selectAll(doc);
    doc.EffectChain(chain);
    if (Script.Arguments.Named.Exists("out")) doc.SaveAs(lib.outFolder(list[i]) + "/" + lib.baseName(list[i]) + ".wav");
    else doc.Save();
    Script.Echo(list[i], "done");
  } catch (e) {
    Script.StdErr.WriteLine(list[i] + ": " + e.description);
    ++failed;
  }
  doc.Close();
}
Script.Quit(failed ? 1 : 0);
