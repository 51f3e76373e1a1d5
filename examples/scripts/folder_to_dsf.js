// Converts every .wav file of a folder to DSF through the 1-bit writer.
//   tidemark-script folder_to_dsf.js [/rate:HZ] [/channels:1|2] IN OUT
// Writes OUT/NAME.dsf modulated to 2822400 Hz (or /rate:, one of the 1-bit
// rates from 1411200 to 12288000), stereo or /channels:. Exit status 1 when
// a file failed.
var lib = Script.LoadScript("common.js");
var writer = Application.CreateFileWriter("1bit");
lib.applyNamed(writer, "rate:SampleRate channels:Channels");
Script.Quit(lib.convertFolder(writer, ".dsf", "folder_to_dsf.js [/rate:HZ] [/channels:N] IN OUT"));
