// Text conversion between the ANSI code page, wide text and UTF-8: exact results, what the lossy
// and strict forms refuse, and failures raised as HRESULTs.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <string_view>

#include "support/hresult.h"
#include "support/text_conversion.h"
#include "tests/support/failing_allocator.h"

namespace {

template <class Action>
HRESULT RaisedBy(Action action)
{
    try {
        action();
    } catch (HRESULT hr) {
        return hr;
    }
    return S_OK;
}

}  // namespace

TEST(TextConversionTest, AnsiCodePageBothWaysWithEveryByteKept)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the expected characters are those of code page 1252";
    const std::string_view ansi("\x80\xA3\xE9\0z", 5);
    const std::wstring wide = WideFromAnsi(ansi);
    EXPECT_EQ(std::wstring(L"\u20AC\u00A3\u00E9\0z", 5), wide) << "an embedded zero is text like any other";
    EXPECT_EQ(std::string(ansi), AnsiFromWide(wide));
    for (int byte = 1; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        ASSERT_EQ(one, AnsiFromWide(WideFromAnsi(one))) << byte;
    }
    EXPECT_EQ(L"", WideFromAnsi(""));
    EXPECT_EQ("", AnsiFromWide(L""));
}

TEST(TextConversionTest, ExactAnsiRefusesAReplacedCharacter)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the characters refused are those code page 1252 lacks";
    std::string ansi = "left over";
    EXPECT_TRUE(ExactAnsiFromWide(L"caf\u00E9 \u20AC", &ansi));
    EXPECT_EQ("caf\xE9 \x80", ansi);
    for (const wchar_t* lacking : {L"\u0141\u00F3d\u017A", L"x\u4E2D", L"\u2260"}) {
        ansi = "left over";
        EXPECT_FALSE(ExactAnsiFromWide(lacking, &ansi)) << "no best-fit stand-ins";
        EXPECT_EQ("", ansi);
        EXPECT_FALSE(AnsiFromWide(lacking).empty()) << "the plain form always gives a text";
    }
    EXPECT_TRUE(ExactAnsiFromWide(L"", &ansi));
    EXPECT_EQ("", ansi);
}

TEST(TextConversionTest, Utf8BothWaysWithReplacementOrRefusal)
{
    const std::string utf8 = "\xC3\x89\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::wstring wide = L"\u00C9\u20AC\xD83D\xDE00";
    EXPECT_EQ(wide, WideFromUtf8(utf8));
    EXPECT_EQ(utf8, Utf8FromWide(wide));
    EXPECT_EQ("plain", Utf8FromWide(L"plain"));
    EXPECT_EQ("\xEF\xBF\xBD", Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0xD800))))
        << "a lone surrogate becomes U+FFFD";

    EXPECT_EQ(L"\uFFFDx", WideFromUtf8("\xC9x"));
    std::wstring strict = L"left over";
    EXPECT_TRUE(ExactWideFromUtf8(utf8, &strict));
    EXPECT_EQ(wide, strict);
    for (const char* invalid : {"\xC9x", "ab\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"}) {
        strict = L"left over";
        EXPECT_FALSE(ExactWideFromUtf8(invalid, &strict)) << invalid;
        EXPECT_EQ(L"", strict);
    }
}

TEST(TextConversionTest, FailuresAreRaisedAsHresults)
{
    // Longer than a conversion call takes: refused before a byte is read.
    const char one = 'x';
    const std::string_view tooLong(&one, static_cast<std::size_t>(INT_MAX) + 1);
    EXPECT_EQ(E_INVALIDARG, RaisedBy([&] { WideFromAnsi(tooLong); }));
    EXPECT_EQ(E_INVALIDARG, RaisedBy([&] { WideFromUtf8(tooLong); }));

    const std::wstring wide(40, L'\u00E9');
    const std::string ansi(40, 'a');
    AllocationsFail failing;
    EXPECT_EQ(E_OUTOFMEMORY, RaisedBy([&] { AnsiFromWide(wide); }));
    EXPECT_EQ(E_OUTOFMEMORY, RaisedBy([&] { WideFromAnsi(ansi); }));
    EXPECT_EQ(E_OUTOFMEMORY, RaisedBy([&] { Utf8FromWide(wide); }));
    EXPECT_EQ(E_OUTOFMEMORY,
              RaisedBy([&] { Utf8FromWide(std::wstring_view(L"ascii only, longer than kept inline")); }));
    std::string exact;
    EXPECT_EQ(E_OUTOFMEMORY, RaisedBy([&] { ExactAnsiFromWide(wide, &exact); }));
}

// A text converted into one that has the room allocates nothing: the payee check converts every
// payee's name beside the payment loop, which an allocation would hold up at the heap's lock.
TEST(TextConversionTest, AConversionIntoATextWithRoomAllocatesNothing)
{
    std::string utf8;
    std::string ascii;
    ascii.reserve(64);
    Utf8FromWideInto(L"Northern Timber Merchants Limited", &utf8);
    Utf8FromWideInto(L"Caf\u00E9 of the Northern Timber Merchants", &utf8);
    bool refused = false;
    {
        AllocationsFail counting(1);  // Refused() once one allocation is made
        Utf8FromWideInto(L"Green-Field Farms and Timber Merchants", &utf8);
        ascii = utf8;  // within the room reserved above
        Utf8FromWideInto(L"Caf\u00E9 Rouge", &utf8);
        refused = AllocationsFail::Refused();
    }
    EXPECT_FALSE(refused);
    EXPECT_EQ("Green-Field Farms and Timber Merchants", ascii);
    EXPECT_EQ("Caf\xC3\xA9 Rouge", utf8);
}
