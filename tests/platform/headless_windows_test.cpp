// The headless editor window and main frame: what they answer and keep,
// told on their own thread (the message layer tests carry sends and posts
// across threads).
#include <gtest/gtest.h>

#include <cstring>

#include "platform/headless_editor_window.h"
#include "platform/headless_main_frame.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

MsgParam Ptr(const void* p) { return reinterpret_cast<MsgParam>(p); }

TEST(HeadlessEditorWindow, KeepsSelectionMaskAndNotices) {
  EXPECT_EQ(HeadlessEditorWindow(1).channel_mask(), 1u);
  EXPECT_EQ(HeadlessEditorWindow().channel_mask(), 3u);
  EXPECT_EQ(HeadlessEditorWindow(6).channel_mask(), 0x3Fu);

  HeadlessEditorWindow editor(2);
  EXPECT_EQ(editor.Send(editor_msg::kGetChannelMask, 0, 0), 3);
  // No channel, or none of this document's: refused; 5 is cut to the channels there are.
  for (const auto& [mask, answer] : {std::pair{2, 2}, {0, 2}, {4, 2}, {5, 1}})
    EXPECT_EQ(editor.Send(editor_msg::kSetChannelMask, mask, 0), answer) << mask;
  EXPECT_EQ(editor.channel_mask(), 1u);
  EXPECT_EQ(editor.Send(editor_msg::kGetChannelMask, 0, 0), 1);

  // The selection is written through whichever pointers are given, and the
  // answer is its length.
  std::uint32_t from = 7, to = 7;
  EXPECT_EQ(editor.Send(editor_msg::kGetSelection, Ptr(&from), Ptr(&to)), 0);
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, 0u);
  editor.Send(editor_msg::kSetSelection, 100, 250);
  EXPECT_EQ(editor.selection_from(), 100u);
  EXPECT_EQ(editor.selection_to(), 250u);
  EXPECT_EQ(editor.Send(editor_msg::kGetSelection, Ptr(&from), 0), 150);
  EXPECT_EQ(from, 100u);
  EXPECT_EQ(editor.Send(editor_msg::kGetSelection, 0, Ptr(&to)), 150);
  EXPECT_EQ(to, 250u);

  // Content changes: the last pair and how many; nothing else moves.
  EXPECT_EQ(editor.content_change_count(), 0u);
  editor.Send(editor_msg::kContentReplaced, 1000, 1200);
  editor.Send(editor_msg::kContentReplaced, 1200, 900);
  EXPECT_EQ(editor.content_change_count(), 2u);
  EXPECT_EQ(editor.last_content_change(), (HeadlessEditorWindow::ContentChange{1200, 900}));
  EXPECT_EQ(editor.selection_from(), 100u);
  EXPECT_EQ(editor.selection_to(), 250u);
  EXPECT_EQ(editor.redraw_count(), 0u);

  editor.Send(editor_msg::kRedraw, 0, 0);
  editor.Send(editor_msg::kRedraw, 0, 0);
  EXPECT_EQ(editor.redraw_count(), 2u);
  EXPECT_FALSE(editor.shown_position().has_value());
  editor.Send(editor_msg::kShowPosition, 640, 0);
  EXPECT_EQ(editor.shown_position(), 640u);

  int node_a = 0, node_b = 0;
  editor.Send(editor_msg::kMarkerChanged, 'D', Ptr(&node_a));
  editor.Send(editor_msg::kMarkerChanged, 'A', Ptr(&node_b));
  ASSERT_EQ(editor.marker_notices().size(), 2u);
  EXPECT_EQ(editor.marker_notices()[0], (HeadlessEditorWindow::MarkerNotice{'D', Ptr(&node_a)}));
  EXPECT_EQ(editor.marker_notices()[1], (HeadlessEditorWindow::MarkerNotice{'A', Ptr(&node_b)}));

  // Unknown messages answer 0 and are logged like the others.
  EXPECT_EQ(editor.Send(kWmApp + 5, 3, 0), 0);
  EXPECT_EQ(editor.Send(1, 2, 3), 0);
  ASSERT_EQ(editor.log().size(), 19u);
  EXPECT_EQ(editor.log()[0], (ReceivedMessage{editor_msg::kGetChannelMask, 0, 0}));
  EXPECT_EQ(editor.log()[7], (ReceivedMessage{editor_msg::kSetSelection, 100, 250}));
  EXPECT_EQ(editor.log().back(), (ReceivedMessage{1, 2, 3}));
  editor.ClearLog();
  EXPECT_TRUE(editor.log().empty());
  EXPECT_EQ(editor.redraw_count(), 2u);  // the counters are not the log
}

TEST(HeadlessEditorWindow, KeepsTheViewStateByteForByte) {
  HeadlessEditorWindow editor;
  HeadlessEditorWindow::ViewState state{};
  for (std::size_t i = 0; i < state.size(); ++i) state[i] = static_cast<std::uint8_t>(i * 37 + 1);
  editor.Send(editor_msg::kSetViewState, Ptr(state.data()), 0);
  EXPECT_EQ(editor.view_state(), state);
  state.fill(0x5A);
  editor.set_view_state(state);
  // The answer is exactly 24 bytes: the guard bytes around it stay.
  std::uint8_t buffer[26];
  std::memset(buffer, 0xEE, sizeof buffer);
  editor.Send(editor_msg::kGetViewState, Ptr(buffer + 1), 0);
  EXPECT_EQ(buffer[0], 0xEE);
  EXPECT_EQ(buffer[25], 0xEE);
  EXPECT_EQ(std::memcmp(buffer + 1, state.data(), state.size()), 0);
}

TEST(HeadlessMainFrame, KeepsNoticesInOrderAndTheStatusLine) {
  HeadlessMainFrame frame;
  EXPECT_EQ(frame.last_flags(), 0u);
  int doc_a = 0, doc_b = 0;
  frame.Send(frame_msg::kDocumentChanged, 80, Ptr(&doc_a));
  frame.Send(frame_msg::kDocumentChanged, 32, Ptr(&doc_b));
  frame.Send(frame_msg::kDocumentChanged, 208, Ptr(&doc_a));
  ASSERT_EQ(frame.notices().size(), 3u);
  EXPECT_EQ(frame.notices()[0], (HeadlessMainFrame::Notice{80, Ptr(&doc_a)}));
  EXPECT_EQ(frame.notices()[1], (HeadlessMainFrame::Notice{32, Ptr(&doc_b)}));
  EXPECT_EQ(frame.notices()[2], (HeadlessMainFrame::Notice{208, Ptr(&doc_a)}));
  EXPECT_EQ(frame.last_flags(), 208u);
  EXPECT_EQ(frame.Send(kWmApp + 1, 16, 0), 0);
  EXPECT_EQ(frame.notices().size(), 3u);
  frame.ClearNotices();
  EXPECT_TRUE(frame.notices().empty());
  EXPECT_EQ(frame.last_flags(), 0u);

  // The status text is copied: the sender's buffer may change afterwards.
  char text[] = "Saving";
  frame.Send(frame_msg::kStatusText, 0, Ptr(text));
  text[0] = 'X';
  EXPECT_EQ(frame.status_text(), "Saving");
  frame.Send(frame_msg::kStatusText, 0, 0);
  EXPECT_EQ(frame.status_text(), "");
}

}  // namespace
}  // namespace tidemark
