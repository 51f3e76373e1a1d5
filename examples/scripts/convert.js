// Converts every file named on the command line to another sample format.
//   tidemark-script convert.js /format:Wave24 [/out:FOLDER] [/ext:.wav] FILE...
// Each FILE is saved as FOLDER/NAME.wav (or the extension given) in the
// format word given (Wave16, Wave24, Wave32, WaveFloat, ...).
var lib = Script.LoadScript("common.js");
var format = Script.Arguments.Named.Item("format");
if (!format) {
  Script.StdErr.WriteLine("convert.js: give the format as /format:WORD");
  Script.Quit(2);
}
var ext = Script.Arguments.Named.Item("ext") || ".wav";
var list = new VBArray(lib.files()).toArray();
var converted = 0;
for (var i = 0; i < list.length; ++i) {
  var doc = Application.Documents.Open(list[i]);
  var target = lib.outFolder(list[i]) + "/" + lib.baseName(list[i]) + ext;
  doc.SaveAs(target, format);
  Script.Echo(list[i], "->", target, doc.PcmFileSample);
  doc.Close();
  ++converted;
}
Script.Echo(converted, "file(s) converted");
