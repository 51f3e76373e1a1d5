#include "platform/headless_editor_window.h"

#include <cstring>

#include "platform/ui_messages.h"

namespace tidemark {

HeadlessEditorWindow::HeadlessEditorWindow(std::uint16_t channels)
    : all_channels_(channels >= 32 ? 0xFFFFFFFFu : (1u << channels) - 1), mask_(all_channels_) {}

MsgResult HeadlessEditorWindow::Handle(std::uint32_t msg, MsgParam wparam, MsgParam lparam) {
  log_.push_back({msg, wparam, lparam});
  switch (msg) {
    case editor_msg::kGetSelection:
      if (wparam) *reinterpret_cast<std::uint32_t*>(wparam) = from_;
      if (lparam) *reinterpret_cast<std::uint32_t*>(lparam) = to_;
      return 1;
    case editor_msg::kSetSelection:
      from_ = static_cast<std::uint32_t>(wparam);
      to_ = static_cast<std::uint32_t>(lparam);
      return 1;
    case editor_msg::kGetChannelMask:
      return mask_;
    case editor_msg::kSetChannelMask:
      // A mask with no channel of this document keeps the old one.
      if (const std::uint32_t mask = static_cast<std::uint32_t>(wparam) & all_channels_) mask_ = mask;
      return mask_;
    case editor_msg::kRedraw:
      ++redraws_;
      return 1;
    case editor_msg::kGetViewState:
      if (wparam) std::memcpy(reinterpret_cast<void*>(wparam), view_.data(), view_.size());
      return 1;
    case editor_msg::kSetViewState:
      if (wparam) std::memcpy(view_.data(), reinterpret_cast<const void*>(wparam), view_.size());
      return 1;
    default:
      return 0;  // content replaced and marker notices are only logged
  }
}

MsgResult HeadlessMainFrame::Handle(std::uint32_t msg, MsgParam wparam, MsgParam lparam) {
  if (msg != frame_msg::kDocumentChanged) return 0;
  notices_.push_back({static_cast<std::uint32_t>(wparam), lparam});
  return 1;
}

}  // namespace tidemark
