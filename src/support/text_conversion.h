// Text conversion between the module's narrow text, wide text (what the host hands over, BSTRs
// among it) and UTF-8. One rule for every caller: narrow text is in the process's ANSI code page
// (the one CString and the narrow system calls use). A conversion that cannot be made raises
// E_INVALIDARG, and one that cannot get memory E_OUTOFMEMORY, as every failure inside a method does.
#pragma once

#include <string>
#include <string_view>

// ANSI to wide; every byte has a character.
std::wstring WideFromAnsi(std::string_view ansi);

// Wide to ANSI; a character the code page lacks becomes its nearest form or the default character.
std::string AnsiFromWide(std::wstring_view wide);

// Wide to ANSI only when every character has a byte sequence of its own there: false, with ansi
// empty, when one would be replaced.
bool ExactAnsiFromWide(std::wstring_view wide, std::string* ansi);

// UTF-8 to wide; an invalid sequence becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);

// UTF-8 to wide only when the bytes are valid UTF-8: false, with wide empty, otherwise.
bool ExactWideFromUtf8(std::string_view utf8, std::wstring* wide);

// Wide to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);
// The same into *utf8, whose room is kept: for a caller converting text after text.
void Utf8FromWideInto(std::wstring_view wide, std::string* utf8);
