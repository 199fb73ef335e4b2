// The module's text string: ownership, growth, conversions, comparisons, formatting, resources.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "support/cstring.h"
#include "support/hresult.h"

namespace {

HRESULT RaisedBy(void (*action)())
{
    try {
        action();
    } catch (HRESULT hr) {
        return hr;
    }
    return S_OK;
}

}  // namespace

TEST(CStringTest, DefaultStringIsEmptyTextNeverNull)
{
    CString text;
    ASSERT_NE(nullptr, static_cast<const char*>(text));
    EXPECT_STREQ("", text);
    EXPECT_EQ(0, text.GetLength());
    EXPECT_EQ(0, text.GetCapacity());
    EXPECT_EQ(-1, text.Find('a'));
    EXPECT_EQ(-1, text.ReverseFind('a'));
}

TEST(CStringTest, AssigningEmptyTextKeepsBufferAndCapacity)
{
    CString text("hello");
    EXPECT_EQ(5, text.GetCapacity());
    text = "";
    EXPECT_STREQ("", text);
    EXPECT_EQ(5, text.GetCapacity());
    text = "abc";  // a shorter text reuses the buffer
    EXPECT_EQ(5, text.GetCapacity());
    text = "longer text";  // a longer one gets a buffer of exactly its length
    EXPECT_EQ(11, text.GetCapacity());
    EXPECT_STREQ("longer text", text);
}

TEST(CStringTest, NullPointersRaiseInvalidArgumentExceptWideAssignment)
{
    CString fromWide(static_cast<const wchar_t*>(nullptr));
    EXPECT_STREQ("", fromWide);

    EXPECT_EQ(E_INVALIDARG, RaisedBy([] { CString text(static_cast<const char*>(nullptr)); }));
    EXPECT_EQ(E_INVALIDARG, RaisedBy([] {
                  CString text("a");
                  text = static_cast<const char*>(nullptr);
              }));
    EXPECT_EQ(E_INVALIDARG, RaisedBy([] {
                  CString text("a");
                  text.Append(static_cast<const char*>(nullptr));
              }));
    EXPECT_EQ(E_INVALIDARG, RaisedBy([] {
                  CString text("a");
                  text.Append(static_cast<const wchar_t*>(nullptr));
              }));
    EXPECT_EQ(E_INVALIDARG, RaisedBy([] { CString("a").Compare(nullptr); }));
    EXPECT_EQ(E_INVALIDARG, RaisedBy([] { CString().CompareNoCase(nullptr); }));
    EXPECT_EQ(E_INVALIDARG, RaisedBy([] { CString text = CString("a") + nullptr; }));
    EXPECT_EQ(E_INVALIDARG, RaisedBy([] { CString().Format(nullptr); }));
}

TEST(CStringTest, AppendGrowsToExactLength)
{
    CString text("xy");
    text.Append("abc");
    EXPECT_STREQ("xyabc", text);
    EXPECT_EQ(5, text.GetCapacity());
    text += CString();
    EXPECT_EQ(5, text.GetCapacity());
    CString joined = text + "!";
    EXPECT_STREQ("xyabc!", joined);
    EXPECT_STREQ("xyabc", text);
    text.Append(L"\u00e9");
    EXPECT_STREQ("xyabc\xe9", text);
}

TEST(CStringTest, CopiesNeverShareBuffers)
{
    CString original("shared?");
    CString copy(original);
    copy.GetBuffer(-1)[0] = 'S';
    EXPECT_STREQ("shared?", original);
    EXPECT_STREQ("Shared?", copy);
    CString assigned;
    assigned = original;
    EXPECT_NE(static_cast<const char*>(assigned), static_cast<const char*>(original));
}

TEST(CStringTest, GetAtChecksPosition)
{
    CString text("abc");
    EXPECT_EQ('c', text.GetAt(2));
    EXPECT_EQ(E_INVALIDARG, RaisedBy([] { CString("abc").GetAt(3); }));
    EXPECT_EQ(E_INVALIDARG, RaisedBy([] { CString().GetAt(0); }));
}

TEST(CStringTest, GetBufferKeepsTextWhenLargeEnoughAndNulShortens)
{
    CString text("abcdef");
    char* buffer = text.GetBuffer(-1);
    EXPECT_EQ(static_cast<const char*>(text), buffer);
    buffer[3] = '\0';
    EXPECT_EQ(3, text.GetLength());
    EXPECT_STREQ("abc", text);
}

TEST(CStringTest, SubstringsAndTrim)
{
    EXPECT_STREQ("abc", CString("abc").Left(10));
    EXPECT_STREQ("ab", CString("abc").Left(2));
    EXPECT_STREQ("bcd", CString("abcd").Mid(1, 10));
    EXPECT_STREQ("", CString("abcd").Mid(4, 2));

    CString spaces("ab  ");
    spaces.TrimRight();
    EXPECT_STREQ("ab", spaces);
    CString tab("ab\t");
    tab.TrimRight();
    EXPECT_STREQ("ab\t", tab);
    CString blank("   ");
    blank.TrimRight();
    EXPECT_STREQ("", blank);
}

TEST(CStringTest, FindAndCompare)
{
    CString text("a,b,c");
    EXPECT_EQ(1, text.Find(','));
    EXPECT_EQ(3, text.ReverseFind(','));
    EXPECT_EQ(-1, text.Find('x'));
    EXPECT_EQ(0, text.Compare("a,b,c"));
    EXPECT_LT(CString("abc").Compare("abd"), 0);
    EXPECT_GT(CString("b").Compare("a"), 0);
    EXPECT_NE(0, CString("ABC").Compare("abc"));
    EXPECT_EQ(0, CString("TransDate").CompareNoCase("transdate"));
    EXPECT_EQ(0, CString().Compare(""));
}

TEST(CStringTest, WideConversionUsesAnsiCodePage)
{
    CString text(L"caf\u00e9 \u00a3");
    EXPECT_STREQ("caf\xe9 \xa3", text);
    wchar_t* back = text.AllocSysString();
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(std::wstring(L"caf\u00e9 \u00a3"), std::wstring(back));
    EXPECT_EQ(6u, SysStringLen(back));
    SysFreeString(back);

    wchar_t* empty = CString().AllocSysString();
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(0u, SysStringLen(empty));
    SysFreeString(empty);
}

TEST(CStringTest, FormatLongerThanWorkBufferIsNotCut)
{
    std::string folder(300, 'x');
    CString text;
    text.Format("(%s) and (%s)", folder.c_str(), "C:\\");
    EXPECT_EQ(static_cast<int>(folder.size() + 12), text.GetLength());
    EXPECT_EQ("(" + folder + ") and (C:\\)", std::string(text));
}

TEST(CStringTest, FormatRoundsFromExactBinaryValue)
{
    CString text;
    text.Format("%.2f|%.2f|%.2f|%.2f|%.2f|%08d", 0.125, 1.005, 2.675, 1234.5, -5.0, 42);
    EXPECT_STREQ("0.12|1.00|2.67|1234.50|-5.00|00000042", text);
}

TEST(CStringTest, LoadStringReadsStringTable)
{
    CString text("old");
    EXPECT_TRUE(text.LoadString(platform::ResourceModule(), 100));
    EXPECT_STREQ("BrenmarkLintrove", text);
    EXPECT_FALSE(text.LoadString(platform::ResourceModule(), 305));
    EXPECT_STREQ("", text);
}

TEST(CStringTest, AppendingItselfOrAPartOfItselfWhileGrowing)
{
    // Each append outgrows the buffer, so the text appended lies in the room being replaced.
    const std::string start(100, 'a');
    CString text(start.c_str());
    text.Append(text);
    EXPECT_EQ(start + start, std::string(text));
    text += text;
    EXPECT_EQ(std::string(400, 'a'), std::string(text));

    CString mixed("0123456789");
    mixed.Append(static_cast<const char*>(mixed) + 5);
    EXPECT_STREQ("0123456789"
                 "56789",
                 mixed);
    mixed.Append(static_cast<const char*>(mixed));
    EXPECT_STREQ("012345678956789"
                 "012345678956789",
                 mixed);
}

TEST(CStringTest, WideTextNeedingThreeBytesAUnitInTheCodePageFits)
{
    // 300 units of U+20AC: more than twice as many bytes as units in a UTF-8 code page; in any
    // code page the text converts whole or not at all, never cut or overrun.
    const std::wstring euros(300, L'\x20AC');
    CString text(euros.c_str());
    const int expected = WideCharToMultiByte(CP_ACP, 0, euros.c_str(), -1, nullptr, 0, nullptr, nullptr) - 1;
    EXPECT_EQ(expected, text.GetLength());
    CString appended("x");
    appended.Append(euros.c_str());
    EXPECT_EQ(expected + 1, appended.GetLength());
}
