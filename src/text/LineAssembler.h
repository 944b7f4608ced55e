#pragma once
// The line assembler: received text is collected in a buffer that holds what
// follows the last carriage return. LF bytes are dropped on entry and only CR
// ends a line, so CR LF, LF CR and a lone CR each end one line. Used by the
// receive road of the main window and by the modem dialer for its responses.

#include <string>
#include <string_view>

// The text without its LF (0x0A) bytes.
std::string WithoutLineFeeds(std::string_view text);

// Appends every byte of block to buffer except LF.
void AppendBlock(std::string& buffer, std::string_view block);

// True when buffer holds no CR, including when it is empty.
bool HasNoLine(const std::string& buffer);

// Moves the bytes before the first CR into line and keeps those after it in
// buffer. Without a CR, line becomes empty and buffer is unchanged.
void TakeLine(std::string& buffer, std::string& line);

// text becomes a copy of buffer (the partial line not yet ended by a CR).
void PendingText(const std::string& buffer, std::string& text);
