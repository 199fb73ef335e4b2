#include "settings/narrow_text.h"

namespace {

// How many of the first length units the narrow text carries: it stops at a NUL, at a character
// above U+00FF and at its greatest length.
std::size_t CarriedUnits(const platform::WideChar* text, std::size_t length)
{
    std::size_t carried = 0;
    if (text) {
        for (; carried < length && carried < kNarrowTextMaxChars; ++carried) {
            const unsigned long unit = static_cast<unsigned long>(text[carried]);
            if (unit == 0 || unit > 0xFF)
                break;
        }
    }
    return carried;
}

}  // namespace

// The classic-locale wide-to-narrow conversion: one byte per character up to U+00FF. Written out
// rather than left to the C library, whose result depends on the process's locale.
std::size_t ToNarrowTextInto(const platform::WideChar* text, std::size_t length, char (&out)[kNarrowTextMaxChars + 1])
{
    // As CarriedUnits, copying on the way.
    std::size_t carried = 0;
    if (text) {
        const std::size_t most = length < kNarrowTextMaxChars ? length : kNarrowTextMaxChars;
        for (; carried < most; ++carried) {
            const unsigned long unit = static_cast<unsigned long>(text[carried]);
            if (unit == 0 || unit > 0xFF)
                break;
            out[carried] = static_cast<char>(unit);
        }
    }
    out[carried] = '\0';
    return carried;
}

std::size_t ToDigitTextInto(const platform::WideChar* text, std::size_t length, char (&out)[kNarrowTextMaxChars + 1])
{
    const std::size_t carried = CarriedUnits(text, length);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < carried; ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            out[kept++] = static_cast<char>(text[i]);
    }
    out[kept] = '\0';
    return kept;
}

NarrowTextCopy ToDigitText(const platform::WideChar* text, std::size_t length)
{
    NarrowTextCopy copy;
    copy.Length = ToDigitTextInto(text, length, copy.Text);
    return copy;
}

bool HoldsCharacterAboveNarrowRange(const platform::WideChar* text, std::size_t length)
{
    if (!text)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned long>(text[i]) > 0xFF)
            return true;
    }
    return false;
}

bool HoldsUnitTheNarrowTextLoses(const platform::WideChar* text, std::size_t length)
{
    if (!text)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        // A NUL wraps round to the largest unit: one compare finds both.
        if (static_cast<unsigned long>(text[i]) - 1 >= 0xFF)
            return true;
    }
    return false;
}

bool HoldsNul(const platform::WideChar* text, std::size_t length)
{
    if (!text)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == 0)
            return true;
    }
    return false;
}
