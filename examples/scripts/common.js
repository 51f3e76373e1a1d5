// Helpers shared by the example scripts, loaded with Script.LoadScript.

// The folder named by /out:FOLDER, else the folder of `path`.
function outFolder(path) {
  var out = Script.Arguments.Named.Item("out");
  if (out) return out.replace(/\/+$/, "");
  var slash = path.lastIndexOf("/");
  return slash >= 0 ? path.substring(0, slash) : ".";
}

// The file name of `path` without folder and extension.
function baseName(path) {
  var name = path.substring(path.lastIndexOf("/") + 1);
  var dot = name.lastIndexOf(".");
  return dot > 0 ? name.substring(0, dot) : name;
}

// Selects the whole document.
function selectAll(doc) {
  doc.SelectionFrom = 0;
  doc.SelectionTo = doc.Length;
}

// A level as decibels relative to full scale ("-inf" for silence).
function dB(level) {
  return level > 0 ? (20 * Math.log(level) / Math.LN10).toFixed(2) : "-inf";
}

// The unnamed arguments as an array (a SAFEARRAY once it leaves this
// library: new VBArray(lib.files()).toArray() makes it an array again).
function files() {
  var list = [];
  for (var e = new Enumerator(Script.Arguments.Unnamed); !e.atEnd(); e.moveNext()) list.push(e.item());
  return list;
}
