// The few platform services that the portable parts of the module (text string, statement record
// and reader, payment checks) need. Everything else in those parts is standard C++.
#pragma once

#include <cstddef>
#include <cstdio>

namespace platform {

using WideChar = wchar_t;

// Converts wide text (len characters, or up to and including the terminator when len is -1) to the
// ANSI code page. Returns the number of bytes written, 0 on failure.
int WideToAnsi(const WideChar* text, int len, char* out, int outSize);

// Converts ANSI text to wide text. Returns the number of wide characters written, 0 on failure.
int AnsiToWide(const char* text, int len, WideChar* out, int outSize);

// Multi-byte aware comparison and search in the process's multi-byte code page.
int MbCompareNoCase(const char* left, const char* right);
const char* MbFindLastChar(const char* text, unsigned int character);

// Converts a calendar date at midnight to an OLE Automation date (days from 30 December 1899).
// Returns false when the platform cannot represent the date.
bool CalendarDateToOleDate(int year, int month, int day, double* date);

// Converts UTF-8 text to wide text, as AnsiToWide does; invalid sequences become U+FFFD.
int Utf8ToWide(const char* text, int len, WideChar* out, int outSize);

// One line of developer diagnostics to the debugger output channel.
void DebugOutput(const char* text);

// Loads a string-table entry of the given module; returns its length, 0 when it is missing.
int LoadResourceString(void* moduleInstance, unsigned int id, char* out, int outSize);

// The module whose resources the module's texts come from.
void* ResourceModule();

}  // namespace platform
