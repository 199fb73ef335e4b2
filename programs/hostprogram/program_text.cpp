#include "hostprogram/program_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "standin/call_text.h"
#include "support/text_conversion.h"

namespace hostprogram {

bool Utf8ToWide(const std::string& text, std::wstring* wide)
{
    return ExactWideFromUtf8(text, wide);
}

std::wstring Wide(const std::string& text)
{
    return WideFromUtf8(text);
}

std::string Utf8(const std::wstring& text)
{
    return Utf8FromWide(text);
}

bool WideToAnsi(const std::wstring& text, std::string* ansi)
{
    return ExactAnsiFromWide(text, ansi);
}

size_t DisplayWidth(const std::string& utf8)
{
    size_t width = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80)
            ++width;
    }
    return width;
}

std::string HResultText(HRESULT hr)
{
    struct Named {
        HRESULT Code;
        const char* Name;
    };
    static const Named names[] = {
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_NOINTERFACE, "E_NOINTERFACE"},
        {E_POINTER, "E_POINTER"},
        {E_FAIL, "E_FAIL"},
        {E_UNEXPECTED, "E_UNEXPECTED"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {E_ACCESSDENIED, "E_ACCESSDENIED"},
        {DISP_E_EXCEPTION, "DISP_E_EXCEPTION"},
        {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
        {CO_E_CLASSSTRING, "CO_E_CLASSSTRING"},
        {CO_E_SERVER_STOPPING, "CO_E_SERVER_STOPPING"},
        {TYPE_E_LIBNOTREGISTERED, "TYPE_E_LIBNOTREGISTERED"},
    };
    if (hr == S_OK || hr == S_FALSE)
        return hr == S_OK ? "S_OK" : "S_FALSE";
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    for (const Named& name : names) {
        if (name.Code == hr)
            return std::string(text) + " " + name.Name;
    }
    return text;
}

std::string SystemMessage(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring message = length && buffer ? std::wstring(buffer, length) : std::wstring();
    if (buffer)
        LocalFree(buffer);
    while (!message.empty() &&
           (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    for (wchar_t& c : message) {
        if (c == L'\r' || c == L'\n')
            c = L' ';
    }
    return Utf8(message);
}

std::string FormatAmount(double amount)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", amount);
    return text;
}

namespace {

// Appends value in decimal, zero-padded to width digits.
void AppendDigits(std::string& text, unsigned value, int width)
{
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value || count < width);
    while (count > 0)
        text += digits[--count];
}

}  // namespace

std::string FormatDate(DATE date)
{
    SYSTEMTIME time{};
    if (!VariantTimeToSystemTime(date, &time))
        return standin::NumberText(date);
    std::string result;
    AppendDigits(result, time.wYear, 4);
    result += '-';
    AppendDigits(result, time.wMonth, 2);
    result += '-';
    AppendDigits(result, time.wDay, 2);
    if (time.wHour || time.wMinute || time.wSecond) {
        result += ' ';
        AppendDigits(result, time.wHour, 2);
        result += ':';
        AppendDigits(result, time.wMinute, 2);
        result += ':';
        AppendDigits(result, time.wSecond, 2);
    }
    return result;
}

std::string FormatReceivedAmount(double amount)
{
    // A whole number of pence, as nearly every amount is: its "%.2f" text is those pence, written
    // here without the C library's general conversion.
    const double pence = std::nearbyint(amount * 100);
    if (std::fabs(pence) < 9e15 && pence / 100 == amount) {
        const unsigned long long whole = static_cast<unsigned long long>(std::fabs(pence));
        std::string text = std::signbit(amount) ? "-" : "";
        text += std::to_string(whole / 100);
        text += '.';
        AppendDigits(text, static_cast<unsigned>(whole % 100), 2);
        return text;
    }
    const std::string twoDecimals = FormatAmount(amount);
    return std::strtod(twoDecimals.c_str(), nullptr) == amount ? twoDecimals : standin::NumberText(amount);
}

}  // namespace hostprogram
