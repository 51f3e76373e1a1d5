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

// Puts each named argument listed in `pairs` ("arg:Property ...") that was
// given on the writer's property, as a number.
function applyNamed(writer, pairs) {
  var list = pairs.split(" ");
  for (var i = 0; i < list.length; ++i) {
    var pair = list[i].split(":"), value = Script.Arguments.Named.Item(pair[0]);
    if (value) writer[pair[1]] = Number(value);
  }
}

// Writes every .wav file (any case) of the folder IN into the folder OUT,
// the two unnamed arguments, with `writer` as NAME + `ext`, one line per
// file. A file that fails is reported on standard error and the others
// still run; a break (Ctrl-C) still ends the run, since the engine throws
// it again through every catch. Answers the exit code: 0, 1 when a file
// failed, 2 (after `usage` on standard error) without the two folders.
function convertFolder(writer, ext, usage) {
  var args = files();
  if (args.length != 2) {
    Script.StdErr.WriteLine("usage: " + usage);
    return 2;
  }
  var from = args[0].replace(/\/+$/, "") || "/", to = args[1].replace(/\/+$/, "") || "/";
  var names = ListFolder(from);
  var written = 0, failed = 0;
  for (var i = 0; i < names.length; ++i) {
    if (!/\.wav$/i.test(names[i])) continue;
    var target = to + "/" + baseName(names[i]) + ext;
    try {
      writer.Process(Application.CreateSoundClip(from + "/" + names[i]), target);
      Script.Echo(names[i], "->", target);
      ++written;
    } catch (e) {
      Script.StdErr.WriteLine(names[i] + ": " + e.description);
      ++failed;
    }
  }
  Script.Echo(written + " file(s) written, " + failed + " failed");
  return failed ? 1 : 0;
}
