// The effects part of the demonstration: the 16-bit test sound opened in
// the console editor's session, effects run on it and its statistics
// printed, then saved.
#pragma once

#include <filesystem>
#include <string>

// Prints the commands and what they answer; returns the number of failures.
int RunEffectsDemo(const std::string& wave_path, const std::filesystem::path& out_dir);
