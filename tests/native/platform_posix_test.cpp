// The POSIX platform services against what the Windows ones give: the Western European code page
// (its five undefined bytes included), UTF-8 with replacement, OLE Automation dates.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/cstring.h"
#include "support/platform.h"

namespace {

std::u16string ToWide(const std::string& text)
{
    std::u16string wide(text.size(), u'\0');
    const int count =
        platform::AnsiToWide(text.data(), static_cast<int>(text.size()),
                             reinterpret_cast<platform::WideChar*>(&wide[0]), static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(count));
    return wide;
}

}  // namespace

TEST(PlatformPosixTest, WesternEuropeanCodePageBothWays)
{
    EXPECT_EQ(u"\u20ac\u00a3\u00e9\u0081\u008d\u008f\u0090\u009d\u0178",
              ToWide("\x80\xA3\xE9\x81\x8D\x8F\x90\x9D\x9F"));
    for (int byte = 1; byte < 256; ++byte) {
        const char text[2] = {static_cast<char>(byte), 0};
        platform::WideChar wide[2] = {};
        ASSERT_EQ(2, platform::AnsiToWide(text, -1, wide, 2));
        char back[2] = {};
        ASSERT_EQ(2, platform::WideToAnsi(wide, -1, back, 2));
        EXPECT_EQ(text[0], back[0]) << byte;
    }
    const platform::WideChar unrepresentable[] = {0x0141, 0};  // Ł
    char out[2] = {};
    EXPECT_EQ(2, platform::WideToAnsi(unrepresentable, -1, out, 2));
    EXPECT_EQ('?', out[0]);
    EXPECT_EQ(0, platform::WideToAnsi(unrepresentable, -1, out, 1)) << "a buffer too small is refused";
}

TEST(PlatformPosixTest, Utf8WithReplacement)
{
    platform::WideChar out[8] = {};
    EXPECT_EQ(4, platform::Utf8ToWide("\xC3\x89\xE2\x82\xAC\xF0\x9F\x98\x80", 9, out, 8));
    EXPECT_EQ(0x00C9, out[0]);
    EXPECT_EQ(0x20AC, out[1]);
    EXPECT_EQ(0xD83D, out[2]);
    EXPECT_EQ(0xDE00, out[3]);
    EXPECT_EQ(2, platform::Utf8ToWide("\xC9x", 2, out, 8));
    EXPECT_EQ(0xFFFD, out[0]);
}

TEST(PlatformPosixTest, StrictUtf8AndLossyAnsiSayWhatTheyRefuse)
{
    platform::WideChar out[8] = {};
    EXPECT_EQ(2, platform::Utf8ToWide("\xC3\x89x", 3, out, 8, true));
    for (const char* invalid : {"\xC9x", "\xC0\xAF", "\xED\xA0\x80", "\xE2\x82"})
        EXPECT_EQ(0, platform::Utf8ToWide(invalid, -1, out, 8, true)) << invalid;

    char ansi[4] = {};
    bool lossy = true;
    const platform::WideChar held[] = {0x20AC, 0x00E9, 0};
    EXPECT_EQ(3, platform::WideToAnsi(held, -1, ansi, 4, &lossy));
    EXPECT_FALSE(lossy);
    EXPECT_STREQ("\x80\xE9", ansi);
    const platform::WideChar lacking[] = {'a', 0x0141, 0};
    EXPECT_EQ(3, platform::WideToAnsi(lacking, -1, ansi, 4, &lossy));
    EXPECT_TRUE(lossy);
    EXPECT_STREQ("a?", ansi);
}

TEST(PlatformPosixTest, WideToUtf8WithPairsAndLoneSurrogates)
{
    const platform::WideChar text[] = {0x00C9, 0x20AC, 0xD83D, 0xDE00, 0xDC00, 'x', 0xD800};
    const int count = static_cast<int>(sizeof text / sizeof text[0]);
    EXPECT_EQ(16, platform::WideToUtf8(text, count, nullptr, 0));
    char out[16] = {};
    ASSERT_EQ(16, platform::WideToUtf8(text, count, out, 16));
    EXPECT_EQ(std::string("\xC3\x89\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBDx\xEF\xBF\xBD"), std::string(out, 16));
    EXPECT_EQ(0, platform::WideToUtf8(text, count, out, 15)) << "a buffer too small is refused";
    const platform::WideChar terminated[] = {'a', 0x00E9, 0};
    char withZero[4] = {'?', '?', '?', '?'};
    EXPECT_EQ(4, platform::WideToUtf8(terminated, -1, withZero, 4));
    EXPECT_STREQ("a\xC3\xA9", withZero);
}

TEST(PlatformPosixTest, OleDates)
{
    double date = -1;
    ASSERT_TRUE(platform::CalendarDateToOleDate(1899, 12, 30, &date));
    EXPECT_EQ(0, date);
    ASSERT_TRUE(platform::CalendarDateToOleDate(2019, 3, 31, &date));
    EXPECT_EQ(43555, date);
    ASSERT_TRUE(platform::CalendarDateToOleDate(100, 1, 1, &date));
    EXPECT_EQ(-657434, date);
    EXPECT_FALSE(platform::CalendarDateToOleDate(2019, 2, 29, &date));
    EXPECT_FALSE(platform::CalendarDateToOleDate(99, 12, 31, &date));
}

TEST(PlatformPosixTest, TextStringOverThePlatform)
{
    CString text(L"Caf\u00e9 \u20ac");
    EXPECT_STREQ("Caf\xE9 \x80", text);
    EXPECT_EQ(0, CString("Caf\xC9").CompareNoCase("caf\xE9"));
}
