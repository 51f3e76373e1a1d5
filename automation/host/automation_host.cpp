#include "automation/host/automation_host.h"

#include "platform/window.h"

namespace tidemark::automation {

namespace {
constexpr std::uint32_t kRunWork = kWmApp + 0x60;
}  // namespace

class UiThreadCall::Target : public Window {
 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam wparam, MsgParam) override {
    if (msg != kRunWork) return 0;
    (*reinterpret_cast<const std::function<void()>*>(wparam))();
    return 1;
  }
};

UiThreadCall::UiThreadCall() : target_(std::make_unique<Target>()) {}
UiThreadCall::~UiThreadCall() = default;

bool UiThreadCall::Run(const std::function<void()>& work) {
  return target_->Send(kRunWork, reinterpret_cast<MsgParam>(&work), 0) == 1;
}

}  // namespace tidemark::automation
