// The editor window of a document without a screen: it keeps the selection,
// the selected-channel mask and the view state that the document and the
// commands ask for, and a log of what it was told, for the console and tests.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
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
  // What a workspace saves and restores; the window keeps it as given.
  using ViewState = std::array<std::uint8_t, 24>;
  // The last content-replaced notice (frames).
  struct ContentChange {
    std::uint32_t old_length = 0;
    std::uint32_t new_length = 0;
    bool operator==(const ContentChange&) const = default;
  };
  // A marker node that left ('D') or entered ('A') the document's list.
  struct MarkerNotice {
    char letter;
    MsgParam node;
    bool operator==(const MarkerNotice&) const = default;
  };

  // A window for a document of `channels` channels, every one selected
  // (mask 1 for mono, 3 for stereo).
  explicit HeadlessEditorWindow(std::uint16_t channels = 2);

  std::uint16_t channels() const { return channels_; }
  std::uint32_t selection_from() const { return from_; }
  std::uint32_t selection_to() const { return to_; }
  std::uint32_t channel_mask() const { return mask_; }
  std::uint32_t redraw_count() const { return redraws_; }
  std::uint32_t content_change_count() const { return content_changes_; }
  const ContentChange& last_content_change() const { return last_change_; }
  const std::vector<MarkerNotice>& marker_notices() const { return markers_; }
  // The last frame asked to be shown; none until asked.
  std::optional<std::uint32_t> shown_position() const { return shown_; }
  const ViewState& view_state() const { return view_; }
  void set_view_state(const ViewState& state) { view_ = state; }
  // Every message received, in order.
  const std::vector<ReceivedMessage>& log() const { return log_; }
  void ClearLog() { log_.clear(); }

 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam wparam, MsgParam lparam) override;

 private:
  std::uint16_t channels_;
  std::uint32_t all_channels_;
  std::uint32_t from_ = 0, to_ = 0;
  std::uint32_t mask_;
  std::uint32_t redraws_ = 0;
  std::uint32_t content_changes_ = 0;
  ContentChange last_change_;
  std::vector<MarkerNotice> markers_;
  std::optional<std::uint32_t> shown_;
  ViewState view_{};
  std::vector<ReceivedMessage> log_;
};

}  // namespace tidemark
