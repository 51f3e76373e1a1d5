// The editor window of a document without a screen: it keeps the selection,
// the selected-channel mask and the view state that the document and the
// commands ask for, and a log of what it was told, for the console and tests.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/window.h"

namespace tidemark {

struct ReceivedMessage {
  std::uint32_t msg;
  MsgParam wparam;
  MsgParam lparam;
  bool operator==(const ReceivedMessage&) const = default;
};

class HeadlessEditorWindow : public Window {
 public:
  // A window for a document of `channels` channels: every channel selected.
  explicit HeadlessEditorWindow(std::uint16_t channels = 2);

  std::uint32_t selection_from() const { return from_; }
  std::uint32_t selection_to() const { return to_; }
  std::uint32_t channel_mask() const { return mask_; }
  std::uint32_t redraw_count() const { return redraws_; }
  const std::array<std::uint8_t, 24>& view_state() const { return view_; }
  const std::vector<ReceivedMessage>& log() const { return log_; }
  void ClearLog() { log_.clear(); }

 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam wparam, MsgParam lparam) override;

 private:
  std::uint32_t all_channels_;
  std::uint32_t from_ = 0, to_ = 0;
  std::uint32_t mask_;
  std::uint32_t redraws_ = 0;
  std::array<std::uint8_t, 24> view_{};
  std::vector<ReceivedMessage> log_;
};

// The main frame without a screen: keeps every document-changed notice.
class HeadlessMainFrame : public Window {
 public:
  struct Notice {
    std::uint32_t flags;
    MsgParam document;
    bool operator==(const Notice&) const = default;
  };
  const std::vector<Notice>& notices() const { return notices_; }
  std::uint32_t last_flags() const { return notices_.empty() ? 0 : notices_.back().flags; }
  void ClearNotices() { notices_.clear(); }

 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam wparam, MsgParam lparam) override;

 private:
  std::vector<Notice> notices_;
};

}  // namespace tidemark
