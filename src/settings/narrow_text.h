// Host text (UTF-16, usually a BSTR) to the module's 8-bit text, always into the caller's own
// buffer: objects of the module may run on several threads of one process at once. Every function
// is given the text's whole length (a BSTR's SysStringLen), never left to find its end at a NUL.
#pragma once

#include <cstddef>

#include "support/platform.h"

// Most characters a converted host text keeps; longer texts are cut here.
constexpr std::size_t kNarrowTextMaxChars = 255;

// U+0001 to U+00FF become the byte of the same value; the text ends before the first unit it
// cannot carry (a NUL or a character above U+00FF), and after kNarrowTextMaxChars characters. A null
// text gives the empty text. Returns the length of the text written (which is terminated, the rest
// of out untouched).
std::size_t ToNarrowTextInto(const platform::WideChar* text, std::size_t length, char (&out)[kNarrowTextMaxChars + 1]);

// The decimal digits of the narrow text, in order: "12-34-56" gives "123456".
std::size_t ToDigitTextInto(const platform::WideChar* text, std::size_t length, char (&out)[kNarrowTextMaxChars + 1]);

// A converted text held by value, for a caller that copies it at once (into a CString): the
// pointer it converts to lives only as long as the object.
struct NarrowTextCopy {
    char Text[kNarrowTextMaxChars + 1];
    std::size_t Length;
    operator const char*() const { return Text; }
};
NarrowTextCopy ToDigitText(const platform::WideChar* text, std::size_t length);

// Whether the first length units of text hold a character that ToNarrowText cannot carry (above
// U+00FF), so that the narrow text would silently lose the rest of the text.
bool HoldsCharacterAboveNarrowRange(const platform::WideChar* text, std::size_t length);

// Whether the first length units of text hold a NUL: whatever reads the text up to its first zero
// would not see the rest.
bool HoldsNul(const platform::WideChar* text, std::size_t length);

// Either of the two above, in one pass: whether the narrow text would lose part of the first
// length units.
bool HoldsUnitTheNarrowTextLoses(const platform::WideChar* text, std::size_t length);
