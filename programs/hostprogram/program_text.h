// Text helpers of the sample host program: UTF-8 for everything it reads and prints, UTF-16 for
// what crosses to the module, the ANSI code page for paths the module opens itself.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace hostprogram {

// Strict UTF-8 to UTF-16; false when the bytes are not valid UTF-8.
bool Utf8ToWide(const std::string& text, std::wstring* wide);
// UTF-8 to UTF-16 for texts known to be valid (command-line arguments already converted).
std::wstring Wide(const std::string& text);
std::string Utf8(const std::wstring& text);
// The text in the system's ANSI code page; false when some character has no form there.
bool WideToAnsi(const std::wstring& text, std::string* ansi);

// Number of characters (code points) of UTF-8 text, for lining up columns.
size_t DisplayWidth(const std::string& utf8);

// A payment amount as "%.2f" writes it.
std::string FormatAmount(double amount);
// An OLE date as 2019-03-05, with " 14:30:00" when it has a time of day; the number itself when
// it is no date.
std::string FormatDate(DATE date);
// A statement amount as received: two decimals when that is exact, else every digit it has.
std::string FormatReceivedAmount(double amount);

// "S_OK", "S_FALSE", or "0x80020009 DISP_E_EXCEPTION" for the codes the host knows by name.
std::string HResultText(HRESULT hr);
// The system's message for a Win32 error or HRESULT, one line, or "" when it has none.
std::string SystemMessage(DWORD code);

}  // namespace hostprogram
