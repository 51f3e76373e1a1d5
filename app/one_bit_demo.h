// The 1-bit part of the demonstration: a tone turned into 1-bit data by the
// modulator, saved as DSF, DSDIFF and WSD files, and opened again as
// documents through the converter.
#pragma once

#include <filesystem>

// Prints what it did; returns the number of failures.
int RunOneBitDemo(const std::filesystem::path& out_dir);
