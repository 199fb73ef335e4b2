#include "settings/host_text.h"

// The classic-locale wide-to-narrow conversion: one byte per character up to U+00FF. Written out
// rather than left to the C library, whose result depends on the process's locale.
std::size_t ToNarrowTextInto(const platform::WideChar* text, char (&out)[kHostTextMaxChars + 1])
{
    std::size_t length = 0;
    if (text) {
        for (; length < kHostTextMaxChars && text[length] != 0; ++length) {
            const unsigned long unit = static_cast<unsigned long>(text[length]);
            if (unit > 0xFF)
                break;
            out[length] = static_cast<char>(static_cast<unsigned char>(unit));
        }
    }
    out[length] = '\0';
    return length;
}

std::size_t ToDigitTextInto(const platform::WideChar* text, char (&out)[kHostTextMaxChars + 1])
{
    std::size_t kept = 0;
    if (text) {
        for (std::size_t i = 0; i < kHostTextMaxChars && text[i] != 0; ++i) {
            const unsigned long unit = static_cast<unsigned long>(text[i]);
            if (unit > 0xFF)
                break;
            if (unit >= '0' && unit <= '9')
                out[kept++] = static_cast<char>(unit);
        }
    }
    out[kept] = '\0';
    return kept;
}

HostTextCopy ToDigitText(const platform::WideChar* text)
{
    HostTextCopy copy;
    copy.Length = ToDigitTextInto(text, copy.Text);
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
