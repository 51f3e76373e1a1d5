#include "platform/headless_main_frame.h"

#include "platform/ui_messages.h"

namespace tidemark {

MsgResult HeadlessMainFrame::Handle(std::uint32_t msg, MsgParam wparam, MsgParam lparam) {
  switch (msg) {
    case frame_msg::kDocumentChanged:
      notices_.push_back({static_cast<std::uint32_t>(wparam), lparam});
      return 0;
    case frame_msg::kStatusText:
      // The text is the sender's and valid only during the call: copy it.
      status_ = lparam ? reinterpret_cast<const char*>(lparam) : "";
      return 0;
    default:
      return 0;
  }
}

}  // namespace tidemark
