// The one application-level message service: every message the setup shows
// goes through ShowMessage. The host (Win32, terminal or scripted) installs the
// service; it titles the box with the application name, adds the warning icon
// and makes the active window its owner.
#pragma once

#include <string_view>

namespace swk {

enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual MessageAnswer Show(std::string_view text, MessageButtons buttons) = 0;
};

// Shows `text` through the installed service. Without one the message is
// written to standard error and answered with Ok (No for a question).
MessageAnswer ShowMessage(std::string_view text, MessageButtons buttons = MessageButtons::Ok);

void SetMessageBoxService(MessageBoxService* service);

class ScopedMessageBoxService {
public:
    explicit ScopedMessageBoxService(MessageBoxService& service);
    ~ScopedMessageBoxService();
    ScopedMessageBoxService(const ScopedMessageBoxService&) = delete;
    ScopedMessageBoxService& operator=(const ScopedMessageBoxService&) = delete;

private:
    MessageBoxService* previous_;
};

// The message every failed installation shows.
inline constexpr std::string_view kErrorInInstallation = "Error in installation";

}  // namespace swk
