#include "settings/host_text.h"

#include <cstring>

namespace {

char narrowText[kHostTextMaxChars + 1];
char digitText[kHostTextMaxChars + 1];

// The classic-locale wide-to-narrow conversion: one byte per character up to U+00FF. Written out
// rather than left to the C library, whose result depends on the process's locale.
void Narrow(const platform::WideChar* text, char (&out)[kHostTextMaxChars + 1])
{
    std::memset(out, 0, sizeof out);
    if (!text)
        return;
    for (std::size_t i = 0; i < kHostTextMaxChars && text[i] != 0; ++i) {
        const unsigned long unit = static_cast<unsigned long>(text[i]);
        if (unit > 0xFF)
            break;
        out[i] = static_cast<char>(static_cast<unsigned char>(unit));
    }
}

}  // namespace

const char* ToNarrowText(const platform::WideChar* text)
{
    Narrow(text, narrowText);
    return narrowText;
}

const char* ToDigitText(const platform::WideChar* text)
{
    Narrow(text, digitText);
    std::size_t kept = 0;
    for (std::size_t i = 0; digitText[i] != '\0'; ++i) {
        if (digitText[i] >= '0' && digitText[i] <= '9')
            digitText[kept++] = digitText[i];
    }
    digitText[kept] = '\0';
    return digitText;
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
