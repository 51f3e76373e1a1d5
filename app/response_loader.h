// The impulse-response loader the convolution effects use: any sound file
// the program opens, read to float through the formats layer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "effects/convolution/impulse_response.h"
#include "effects/framework/effect_entry.h"

namespace tidemark {

[[nodiscard]] Error LoadResponseFile(const std::string& path, NS_EFFECT::ImpulseResponse* out);

// Writes `ir` to `path` as a WAV file of 64-bit float samples whose text
// annotations name it a synthetic room response for the FIR filter, with
// "DELAY=%d" carrying ir.delay, so that LoadResponseFile gives it back
// sample for sample. An existing file is replaced; a failure after the
// file was made removes it (a file that could not be opened is left). Errors: 5 cannot create, 9 or 10 writing, 19 over 4 GiB,
// 2.
[[nodiscard]] Error SaveResponseFile(const std::string& path, const NS_EFFECT::ImpulseResponse& ir);

// Whether `entry` synthesises a response (the reverb's room), and that
// response from `block` at `rate` saved by SaveResponseFile; `*frames` its length. Error 80 for an
// effect that synthesises none; the errors of the synthesis and the save.
bool SynthesisesResponse(const CEffEntry& entry);
[[nodiscard]] Error SaveSynthesisedResponse(const CEffEntry& entry, const SettingsBlock& block, std::uint32_t rate,
                                            const std::string& path, std::uint32_t* frames);

// Installs the effects' loader: LoadResponseFile, remembering each file it
// reads (RecentResponseFiles).
void InstallResponseLoader();

struct Settings;

// The response files the effects read lately, newest first, at most
// kRecentResponseCount, as absolute paths; a file read again moves to the
// front. The settings keep them in the "FIR Filter" list.
inline constexpr std::size_t kRecentResponseCount = 8;
std::vector<std::string> RecentResponseFiles();
void RememberResponseFile(const std::string& path);
// Replaces the list by the settings' (empty entries and repeats dropped,
// the first kRecentResponseCount kept), and puts the list back.
void RestoreRecentResponseFiles(const Settings& settings);
void SaveRecentResponseFiles(Settings& settings);
// RecentResponseFiles() for the effect that reads response files, none for
// the others.
std::vector<std::string> RecentResponseFilesOf(const CEffEntry& entry);

}  // namespace tidemark
