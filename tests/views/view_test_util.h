// Documents of given float samples for the picture tests: the samples go
// to a headerless file under TMPDIR and one segment covers it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/sound_document.h"
#include "core/sources/sound_source.h"
#include "tests/core/document_test_util.h"

namespace tidemark::testing {

inline DocumentPtr FloatDocument(const std::vector<float>& interleaved, std::uint16_t channels,
                                 std::uint32_t rate = 44100) {
  static int serial = 0;
  const char* tmp = std::getenv("TMPDIR");
  const std::string path = std::string(tmp ? tmp : "/tmp") + "/view_doc_" + std::to_string(++serial) + ".raw";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr) << path;
  if (!f) return nullptr;
  if (!interleaved.empty()) std::fwrite(interleaved.data(), sizeof(float), interleaved.size(), f);
  std::fclose(f);
  const auto frames = static_cast<std::uint32_t>(interleaved.size() / channels);
  SegmentList list;
  if (frames > 0) {
    SourceRef source;
    EXPECT_EQ(OpenFileSource(path, 0, rate, sample_code::kFloat, channels, frames, 0, nullptr, &source), 0u);
    list.PushBack(NewSegment(std::move(source), 0, frames, 0));
  }
  return DocumentPtr(MakeDocument(std::move(list), frames, channels, rate));
}

}  // namespace tidemark::testing
