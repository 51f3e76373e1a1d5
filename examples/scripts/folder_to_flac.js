// Converts every .wav file of a folder to FLAC.
//   tidemark-script folder_to_flac.js [/bits:16|24] [/level:0..8] IN OUT
// Writes OUT/NAME.flac at the source's rate and channels, at its width
// (capped at 24 bits) or /bits:, with compression level 5 or /level:, and
// the source's texts as tags. Exit status 1 when a file failed.
var lib = Script.LoadScript("common.js");
var writer = Application.CreateFileWriter("flac");
lib.applyNamed(writer, "bits:BitsPerSample level:CompressLevel");
Script.Quit(lib.convertFolder(writer, ".flac", "folder_to_flac.js [/bits:N] [/level:N] IN OUT"));
