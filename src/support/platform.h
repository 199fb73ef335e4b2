// The few platform services that the portable parts of the module (text string, statement record
// and reader, payment checks) need. Everything else in those parts is standard C++.
#pragma once

#include <cstddef>
#include <cstdio>

namespace platform {

using WideChar = wchar_t;

// The code-page conversions under everything in support/text_conversion.h and CString. The module's
// narrow text is in the process's ANSI code page, the one the narrow system calls read it in.
// Each converts len units, or up to and including the terminator when len is -1, and returns the
// number of units written (needed, when out is null), 0 on failure.

// Wide to ANSI. With lossy given, no best-fit replacements are made and *lossy says whether some
// character has no byte sequence of its own and was replaced by the default character.
int WideToAnsi(const WideChar* text, int len, char* out, int outSize, bool* lossy = nullptr);

// ANSI to wide.
int AnsiToWide(const char* text, int len, WideChar* out, int outSize);

// Multi-byte aware comparison and search in the process's multi-byte code page.
int MbCompareNoCase(const char* left, const char* right);
const char* MbFindLastChar(const char* text, unsigned int character);

// Converts a calendar date at midnight to an OLE Automation date (days from 30 December 1899).
// Returns false when the platform cannot represent the date.
bool CalendarDateToOleDate(int year, int month, int day, double* date);

// UTF-8 to wide; invalid sequences become U+FFFD, or, when strict, fail the whole conversion.
int Utf8ToWide(const char* text, int len, WideChar* out, int outSize, bool strict = false);

// Wide to UTF-8; a lone surrogate becomes U+FFFD.
int WideToUtf8(const WideChar* text, int len, char* out, int outSize);

// Today's local date. A process pins it by setting BRENMARK_TODAY to a date written YYYY-MM-DD in
// its environment (tests and demonstrations of dates the machine's clock is not on); any other value
// there is ignored. Read at each call: nothing of it is kept in the module.
void LocalToday(int* year, int* month, int* day);

// One line of developer diagnostics to the debugger output channel.
void DebugOutput(const char* text);

// Loads a string-table entry of the given module; returns its length, 0 when it is missing.
int LoadResourceString(void* moduleInstance, unsigned int id, char* out, int outSize);

// The module whose resources the module's texts come from.
void* ResourceModule();

}  // namespace platform
