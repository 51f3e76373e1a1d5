// The private messages that the sound data core and the workers exchange with
// the windows of the user interface, and the flag word of a document change.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace tidemark {
namespace editor_msg {
// The document's content changed: wparam old length, lparam new length (frames).
inline constexpr std::uint32_t kContentReplaced = kWmApp + 0;
// Select [wparam, lparam) (frames).
inline constexpr std::uint32_t kSetSelection = kWmApp + 1;
// Answer the selection: wparam and lparam point at u32 from and to.
inline constexpr std::uint32_t kGetSelection = kWmApp + 6;
// Answer the selected-channel mask (bit c: channel c).
inline constexpr std::uint32_t kGetChannelMask = kWmApp + 10;
// Set the selected-channel mask to wparam.
inline constexpr std::uint32_t kSetChannelMask = kWmApp + 11;
// Redraw the view.
inline constexpr std::uint32_t kRedraw = kWmApp + 14;
// Scroll so that frame wparam is in view.
inline constexpr std::uint32_t kShowPosition = kWmApp + 15;
// A marker left ('D') or entered ('A') the document's list: wparam the
// letter, lparam the marker node.
inline constexpr std::uint32_t kMarkerChanged = kWmApp + 17;
// Copy the window's 24-byte view state to the buffer at wparam.
inline constexpr std::uint32_t kGetViewState = kWmApp + 30;
// Take the 24-byte view state from the buffer at wparam.
inline constexpr std::uint32_t kSetViewState = kWmApp + 31;
// The document now has wparam channels (a mono document made stereo); every
// channel is selected.
inline constexpr std::uint32_t kChannelsChanged = kWmApp + 32;
}  // namespace editor_msg

namespace frame_msg {
// A document changed: wparam the flag word below, lparam the document.
inline constexpr std::uint32_t kDocumentChanged = kWmApp + 0;
// Show a status line: lparam points at the UTF-8 text (valid during the call;
// send, never post).
inline constexpr std::uint32_t kStatusText = kWmApp + 2;
}  // namespace frame_msg

// Flags of frame_msg::kDocumentChanged, combined (80 is the first
// modification, 208 the state after a save).
namespace doc_change {
inline constexpr std::uint32_t kContent = 16;
inline constexpr std::uint32_t kUndoHistory = 32;
inline constexpr std::uint32_t kSavedState = 64;
inline constexpr std::uint32_t kFormat = 128;
inline constexpr std::uint32_t kClipboard = 1024;
}  // namespace doc_change

}  // namespace tidemark
