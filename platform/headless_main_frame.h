// The main frame without a screen: it keeps every document-changed notice
// and the last status line, for the console and tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

namespace tidemark {

class HeadlessMainFrame : public Window {
 public:
  struct Notice {
    std::uint32_t flags;  // doc_change flags, combined
    MsgParam document;    // opaque: the frame never looks through it
    bool operator==(const Notice&) const = default;
  };

  // In the order received.
  const std::vector<Notice>& notices() const { return notices_; }
  // 0 when no notice is kept.
  std::uint32_t last_flags() const { return notices_.empty() ? 0 : notices_.back().flags; }
  void ClearNotices() { notices_.clear(); }
  const std::string& status_text() const { return status_; }

 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam wparam, MsgParam lparam) override;

 private:
  std::vector<Notice> notices_;
  std::string status_;
};

}  // namespace tidemark
