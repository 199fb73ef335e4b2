// Host text (UTF-16, usually a BSTR) to the module's 8-bit text. Each result lives in a module-wide
// buffer that the next call of the same operation overwrites: copy it before calling again.
#pragma once

#include <cstddef>

#include "support/platform.h"

// Most characters a converted host text keeps; longer texts are cut here.
constexpr std::size_t kHostTextMaxChars = 255;

// U+0001 to U+00FF become the byte of the same value; the text ends before the first character
// above U+00FF, and after kHostTextMaxChars characters. A null text gives the empty text.
const char* ToNarrowText(const platform::WideChar* text);

// The decimal digits of ToNarrowText(text), in order: "12-34-56" gives "123456".
const char* ToDigitText(const platform::WideChar* text);

// The same conversions into a caller's buffer, for callers that keep several results at once;
// they return the length of the text written (which is terminated, the rest of out untouched).
std::size_t ToNarrowTextInto(const platform::WideChar* text, char (&out)[kHostTextMaxChars + 1]);
std::size_t ToDigitTextInto(const platform::WideChar* text, char (&out)[kHostTextMaxChars + 1]);

// Whether the first length units of text hold a character that ToNarrowText cannot carry (above
// U+00FF), so that the narrow text would silently lose the rest of the text.
bool HoldsCharacterAboveNarrowRange(const platform::WideChar* text, std::size_t length);
