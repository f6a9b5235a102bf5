#include "platform/message_box.h"

#include <cstdio>

namespace swk {
namespace {

MessageBoxService*& Current() {
    static MessageBoxService* current = nullptr;
    return current;
}

}  // namespace

MessageAnswer ShowMessage(std::string_view text, MessageButtons buttons) {
    if (MessageBoxService* service = Current()) return service->Show(text, buttons);
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
}

void SetMessageBoxService(MessageBoxService* service) { Current() = service; }

ScopedMessageBoxService::ScopedMessageBoxService(MessageBoxService& service) : previous_(Current()) {
    Current() = &service;
}

ScopedMessageBoxService::~ScopedMessageBoxService() { Current() = previous_; }

}  // namespace swk
