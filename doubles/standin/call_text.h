// How the stand-in host writes arguments into its call records.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace standin {

// Shortest text that reads back as the same double: 1234.5, 0, -12.5, 1000000, 1e-07.
std::string NumberText(double value);
// Wide text as UTF-8; null reads as empty.
std::string TextOf(const wchar_t* text, size_t length);
std::string TextOf(const std::wstring& text);
std::string BstrText(BSTR text);
// An ANSI buffer up to its first zero byte or its size; "null" for a null pointer.
std::string BufferText(const char* buffer, size_t size);
// "VT_I4 1", "VT_BSTR text", "VT_EMPTY", "VT 0x4003"; "null" for a null pointer.
std::string VariantText(const VARIANT* value);
// "member" or "member(argument)".
std::string CallText(const char* member, const std::string& argument);

}  // namespace standin
