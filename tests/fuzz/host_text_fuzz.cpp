// Host texts (UTF-16 units from the host's getters) into the module's narrow and digit texts. What
// must hold: nothing is read past the given length nor written past the fixed buffers; the narrow
// text is the host text up to its first zero, first character above U+00FF or 255th character,
// byte for byte; the digit text is the digits of the narrow text, in order; the checks for
// characters above U+00FF and for a zero agree.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "settings/narrow_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Low byte first; an odd last byte is a unit of its own.
    std::vector<platform::WideChar> text;
    for (size_t i = 0; i < size; i += 2)
        text.push_back(static_cast<platform::WideChar>(data[i] | (i + 1 < size ? data[i + 1] << 8 : 0)));
    const size_t length = text.size();
    // Not terminated, in a block of exactly its size: reading one unit past the given length is a
    // finding.
    std::unique_ptr<platform::WideChar[]> exact(new platform::WideChar[length ? length : 1]);
    std::copy(text.begin(), text.end(), exact.get());

    // Guard bytes after each buffer: the conversions must stay inside theirs.
    struct Guarded {
        char Text[kNarrowTextMaxChars + 1];
        char Guard[16];
    } narrow, digits;
    std::memset(&narrow, 0x5A, sizeof narrow);
    std::memset(&digits, 0x5A, sizeof digits);
    const size_t narrowLength = ToNarrowTextInto(exact.get(), length, narrow.Text);
    const size_t digitLength = ToDigitTextInto(exact.get(), length, digits.Text);
    for (char c : narrow.Guard)
        if (c != 0x5A)
            std::abort();
    for (char c : digits.Guard)
        if (c != 0x5A)
            std::abort();

    size_t expected = 0;
    while (expected < length && expected < kNarrowTextMaxChars && text[expected] != 0 && text[expected] <= 0xFF)
        ++expected;
    if (narrowLength != expected || narrow.Text[narrowLength] != '\0' || std::strlen(narrow.Text) != narrowLength)
        std::abort();
    size_t kept = 0;
    for (size_t i = 0; i < narrowLength; ++i) {
        if (static_cast<unsigned char>(narrow.Text[i]) != text[i])
            std::abort();
        if (narrow.Text[i] >= '0' && narrow.Text[i] <= '9' && digits.Text[kept++] != narrow.Text[i])
            std::abort();
    }
    if (digitLength != kept || digits.Text[kept] != '\0')
        std::abort();

    // The copy held by value gives the same text.
    const NarrowTextCopy copy = ToDigitText(exact.get(), length);
    if (copy.Length != digitLength || std::strcmp(copy, digits.Text) != 0)
        std::abort();

    bool above = false;
    bool nul = false;
    for (size_t i = 0; i < length; ++i) {
        above = above || text[i] > 0xFF;
        nul = nul || text[i] == 0;
    }
    if (HoldsCharacterAboveNarrowRange(exact.get(), length) != above || HoldsCharacterAboveNarrowRange(nullptr, length))
        std::abort();
    if (HoldsNul(exact.get(), length) != nul || HoldsNul(nullptr, length))
        std::abort();
    if (HoldsUnitTheNarrowTextLoses(exact.get(), length) != (above || nul) ||
        HoldsUnitTheNarrowTextLoses(nullptr, length))
        std::abort();
    return 0;
}
