// Messages for the user from code that has no window of its own.
//
// The core (scene, io, image) never shows a window: it calls ShowMessage, and whoever owns the user
// interface installs a sink. The application installs a message box; tests install a recorder.
// Without a sink the text goes to stderr.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace mw {

enum class MessageIcon { Information, Warning, Error };

using MessageSink = std::function<void(std::string_view utf8Text, MessageIcon icon)>;

// Installs `sink` and returns the one it replaces (so tests can restore it).
MessageSink SetMessageSink(MessageSink sink);

void ShowMessage(std::string_view utf8Text, MessageIcon icon = MessageIcon::Warning);

}  // namespace mw
