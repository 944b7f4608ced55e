#pragma once
// The line assembler: received text is collected in a buffer that holds what
// follows the last carriage return. LF bytes are dropped on entry and only CR
// ends a line, so CR LF, LF CR and a lone CR each end one line. Used by the
// receive road of the main window and by the modem dialer for its responses.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A received line holds at most this many bytes. A longer one is cut there
// (one byte earlier when a double-byte character would straddle the cut) and
// handled as a complete line; the rest begins the next line.
constexpr std::size_t kMaxLineLength = 64 * 1024;

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

// Takes the complete lines out of buffer, in order: the text before each CR,
// and every kMaxLineLength piece of a text that runs longer without one.
// Afterwards buffer holds no CR and at most kMaxLineLength bytes. The bytes
// before scanFrom are known to hold no CR and are not searched again, so a
// long partial line costs nothing per block.
std::vector<std::string> TakeLines(std::string& buffer, std::size_t scanFrom = 0);
