// A small window that tells the user something and waits for OK, for the stand-alone programs,
// which carry no toolkit and no language table.
#pragma once

#include <string>

namespace album {

enum class MessageKind
{
    Information,
    Error
};

// Shows text (UTF-8; lines break at '\n' and where they do not fit) until OK, Enter, Escape
// or the window's close button. Returns false when no display could be opened, so the caller
// can print the message instead.
bool showX11Message(const std::string& title, const std::string& text, MessageKind kind);

} // namespace album
