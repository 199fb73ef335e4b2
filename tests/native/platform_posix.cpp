// The platform services of the portable parts on POSIX systems, for the native sanitizer and fuzz
// build: the ANSI code page is Windows-1252 (the Western European code page the product runs
// under), wide characters are 16-bit UTF-16 units (-fshort-wchar), dates are OLE Automation dates.
#include "support/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "support/pinned_date.h"

static_assert(sizeof(platform::WideChar) == 2, "build the native core with -fshort-wchar");

namespace platform {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the five bytes the code page leaves undefined map to the C1
// control of the same value, as Windows maps them.
const unsigned short kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

unsigned short ByteToUnit(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
}

// The byte for a UTF-16 unit, or '?' (the code page's default character) when it has none.
unsigned char UnitToByte(unsigned short unit, bool* missing)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return static_cast<unsigned char>(unit);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == unit)
            return static_cast<unsigned char>(0x80 + i);
    *missing = true;
    return '?';
}

size_t WideLength(const WideChar* text)
{
    size_t length = 0;
    while (text[length])
        ++length;
    return length;
}

// The length to convert: len, or the whole text with its terminator for -1.
int InputLength(int len, size_t measured)
{
    return len < 0 ? static_cast<int>(measured) + 1 : len;
}

unsigned char Lower(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<unsigned char>(c + 0x20);
    if (c == 0x8A || c == 0x8C || c == 0x8E)  // Š Œ Ž
        return static_cast<unsigned char>(c + 0x10);
    if (c == 0x9F)  // Ÿ
        return 0xFF;
    return c;
}

// Days from 30 December 1899 to the civil date (proleptic Gregorian calendar).
long DaysFromOleEpoch(int year, int month, int day)
{
    const int y = year - (month <= 2 ? 1 : 0);
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yearOfEra = y - era * 400;
    const long dayOfYear = (153L * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const long daysFrom1970 = era * 146097 + dayOfEra - 719468;
    return daysFrom1970 + 25569;  // 1970-01-01 is OLE day 25569
}

}  // namespace

int WideToAnsi(const WideChar* text, int len, char* out, int outSize, bool* lossy)
{
    if (lossy)
        *lossy = false;
    if (!text || (out && outSize <= 0))
        return 0;
    const int count = InputLength(len, len < 0 ? WideLength(text) : 0);
    if (!out)
        return count;
    if (count > outSize)
        return 0;
    bool missing = false;
    for (int i = 0; i < count; ++i)
        out[i] = static_cast<char>(UnitToByte(static_cast<unsigned short>(text[i]), &missing));
    if (lossy)
        *lossy = missing;
    return count;
}

int AnsiToWide(const char* text, int len, WideChar* out, int outSize)
{
    if (!text || (out && outSize <= 0))
        return 0;
    const int count = InputLength(len, len < 0 ? std::strlen(text) : 0);
    if (!out)
        return count;
    if (count > outSize)
        return 0;
    for (int i = 0; i < count; ++i)
        out[i] = static_cast<WideChar>(ByteToUnit(static_cast<unsigned char>(text[i])));
    return count;
}

int Utf8ToWide(const char* text, int len, WideChar* out, int outSize, bool strict)
{
    if (!text || (out && outSize <= 0))
        return 0;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    const size_t size = static_cast<size_t>(InputLength(len, len < 0 ? std::strlen(text) : 0));
    int written = 0;
    auto put = [&](unsigned long unit) {
        if (out && written < outSize)
            out[written] = static_cast<WideChar>(unit);
        ++written;
    };
    size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
        unsigned long value = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool good = length != 0 && i + length <= size;
        for (size_t k = 1; good && k < length; ++k) {
            good = (bytes[i + k] & 0xC0) == 0x80;
            value = (value << 6) | (bytes[i + k] & 0x3F);
        }
        static const unsigned long least[5] = {0, 0, 0x80, 0x800, 0x10000};
        good = good && value >= least[length] && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
        if (!good) {
            if (strict)
                return 0;
            put(0xFFFD);
            ++i;
            continue;
        }
        if (value >= 0x10000) {
            put(0xD800 + ((value - 0x10000) >> 10));
            put(0xDC00 + ((value - 0x10000) & 0x3FF));
        } else {
            put(value);
        }
        i += length;
    }
    if (out && written > outSize)
        return 0;
    return written;
}

int WideToUtf8(const WideChar* text, int len, char* out, int outSize)
{
    if (!text || (out && outSize <= 0))
        return 0;
    const size_t size = static_cast<size_t>(InputLength(len, len < 0 ? WideLength(text) : 0));
    int written = 0;
    auto put = [&](unsigned long byte) {
        if (out && written < outSize)
            out[written] = static_cast<char>(byte);
        ++written;
    };
    for (size_t i = 0; i < size; ++i) {
        unsigned long c = static_cast<unsigned short>(text[i]);
        const unsigned long next = i + 1 < size ? static_cast<unsigned short>(text[i + 1]) : 0;
        if (c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | (c >> 6));
            put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put(0xE0 | (c >> 12));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        } else {
            put(0xF0 | (c >> 18));
            put(0x80 | ((c >> 12) & 0x3F));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        }
    }
    if (out && written > outSize)
        return 0;
    return written;
}

int MbCompareNoCase(const char* left, const char* right)
{
    const unsigned char* a = reinterpret_cast<const unsigned char*>(left);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(right);
    for (;; ++a, ++b) {
        const int difference = Lower(*a) - Lower(*b);
        if (difference != 0 || !*a)
            return difference;
    }
}

const char* MbFindLastChar(const char* text, unsigned int character)
{
    return std::strrchr(text, static_cast<int>(character));
}

bool CalendarDateToOleDate(int year, int month, int day, double* date)
{
    // The range and checks of the Windows conversion: years 100 to 9999, real days only.
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > days[month - 1] + (month == 2 && leap ? 1 : 0))
        return false;
    *date = static_cast<double>(DaysFromOleEpoch(year, month, day));
    return true;
}

void LocalToday(int* year, int* month, int* day)
{
    const char* pinned = std::getenv("BRENMARK_TODAY");
    if (pinned && ParsePinnedDate(pinned, year, month, day))
        return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    *year = local.tm_year + 1900;
    *month = local.tm_mon + 1;
    *day = local.tm_mday;
}

void DebugOutput(const char* text)
{
    // Quiet unless asked for: fuzzing writes diagnostics by the million.
    static const bool shown = std::getenv("BRENMARK_DEBUG_OUTPUT") != nullptr;
    if (shown)
        std::fputs(text, stderr);
}

int LoadResourceString(void*, unsigned int, char* out, int outSize)
{
    if (out && outSize > 0)
        out[0] = '\0';
    return 0;
}

void* ResourceModule()
{
    return nullptr;
}

}  // namespace platform
