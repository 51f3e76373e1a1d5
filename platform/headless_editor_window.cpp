#include "platform/headless_editor_window.h"

#include <cstring>

#include "platform/ui_messages.h"

namespace tidemark {
namespace {

std::uint32_t AllChannels(std::uint16_t channels) { return channels >= 32 ? 0xFFFFFFFFu : (1u << channels) - 1; }

std::uint32_t* AnswerSlot(MsgParam p) { return reinterpret_cast<std::uint32_t*>(p); }

}  // namespace

HeadlessEditorWindow::HeadlessEditorWindow(std::uint16_t channels)
    : channels_(channels), all_channels_(AllChannels(channels)), mask_(all_channels_) {}

MsgResult HeadlessEditorWindow::Handle(std::uint32_t msg, MsgParam wparam, MsgParam lparam) {
  log_.push_back({msg, wparam, lparam});
  switch (msg) {
    case editor_msg::kGetSelection:
      // Either pointer may be left out; the answer is the selected length.
      if (wparam) *AnswerSlot(wparam) = from_;
      if (lparam) *AnswerSlot(lparam) = to_;
      return to_ > from_ ? to_ - from_ : 0;
    case editor_msg::kSetSelection:
      from_ = static_cast<std::uint32_t>(wparam);
      to_ = static_cast<std::uint32_t>(lparam);
      return 0;
    case editor_msg::kGetChannelMask:
      return mask_;
    case editor_msg::kSetChannelMask:
      // A mask with no channel of this document keeps the old one.
      if (const std::uint32_t mask = static_cast<std::uint32_t>(wparam) & all_channels_) mask_ = mask;
      return mask_;
    case editor_msg::kChannelsChanged:
      channels_ = static_cast<std::uint16_t>(wparam);
      all_channels_ = AllChannels(channels_);
      mask_ = all_channels_;
      return 0;
    case editor_msg::kContentReplaced:
      last_change_ = {static_cast<std::uint32_t>(wparam), static_cast<std::uint32_t>(lparam)};
      ++content_changes_;
      return 0;
    case editor_msg::kRedraw:
      ++redraws_;
      return 0;
    case editor_msg::kShowPosition:
      shown_ = static_cast<std::uint32_t>(wparam);
      return 0;
    case editor_msg::kMarkerChanged:
      markers_.push_back({static_cast<char>(wparam), lparam});
      return 0;
    case editor_msg::kGetViewState:
      if (wparam) std::memcpy(reinterpret_cast<void*>(wparam), view_.data(), view_.size());
      return 0;
    case editor_msg::kSetViewState:
      if (wparam) std::memcpy(view_.data(), reinterpret_cast<const void*>(wparam), view_.size());
      return 0;
    default:
      return 0;
  }
}

}  // namespace tidemark
