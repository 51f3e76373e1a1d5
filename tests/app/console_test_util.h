// Shared pieces of the console editor tests: a session over string
// streams and the samples of a sound file as floats.
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/console_session.h"
#include "app/console_startup.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "formats/open_sound_file.h"
#include "tests/formats/open_save_test_util.h"

namespace tidemark::testing {

// A non-interactive session (unless told otherwise) writing into strings.
struct ConsoleRun {
  explicit ConsoleRun(bool interactive = false) : session(out, err, interactive) {
    console::LoadStartupTexts();
  }
  // Runs the lines of `script` as a command file; the exit status.
  int Script(const std::string& script) {
    std::istringstream in(script);
    return session.Run(in);
  }
  std::ostringstream out, err;
  console::Session session;
};

// Executes the lines of `lines` one by one; true when each is done. Unlike
// ConsoleRun::Script this works in interactive sessions and after a failure.
inline bool AllDone(console::Session& session, std::string_view lines) {
  for (std::size_t at = 0, end; at < lines.size(); at = end + 1) {
    end = std::min(lines.find('\n', at), lines.size());
    if (session.Execute(lines.substr(at, end - at)) != console::Result::kDone) return false;
  }
  return true;
}

// The selection of a document as (from, to).
inline std::pair<std::uint32_t, std::uint32_t> Selection(const SoundDocument& doc) {
  std::pair<std::uint32_t, std::uint32_t> s{~0u, ~0u};
  GetSelection(doc, &s.first, &s.second);
  return s;
}

// All frames of a document as floats, interleaved.
inline std::vector<float> FloatSamples(const SoundDocument& doc) {
  std::vector<float> out(std::size_t{doc.length} * doc.channels);
  SegmentCursor cursor(doc.segments, doc.channels, doc.length);
  cursor.Seek(0);
  EXPECT_EQ(cursor.Read(doc.length, out.data(), sample_code::kFloat), 0u);
  return out;
}

// The samples of a sound file as the engine reads them.
inline std::vector<float> FileSamples(const std::string& path, std::uint16_t* channels = nullptr) {
  const DocumentPtr doc = OpenDocument(path);
  if (!doc) return {};
  if (channels) *channels = doc->channels;
  return FloatSamples(*doc);
}

}  // namespace tidemark::testing
