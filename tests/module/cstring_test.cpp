// The module's text string: ownership, growth, conversions, comparisons, formatting, resources.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "support/cstring.h"
#include "support/hresult.h"
#include "tests/support/failing_allocator.h"

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

TEST(CStringTest, Substrings)
{
    EXPECT_STREQ("bcd", CString("abcd").Mid(1, 10));
    EXPECT_STREQ("", CString("abcd").Mid(4, 2));
}

TEST(CStringTest, CompareNoCase)
{
    EXPECT_EQ(0, CString("TransDate").CompareNoCase("transdate"));
    EXPECT_LT(CString("abc").CompareNoCase("ABD"), 0);
    EXPECT_GT(CString("b").CompareNoCase("A"), 0);
    EXPECT_EQ(0, CString().CompareNoCase(""));
}

// Growing that fails raises E_OUTOFMEMORY and leaves the string as it was: its text, its
// capacity and a buffer that is still its own.
TEST(CStringTest, FailedGrowthKeepsTheText)
{
    CString text("payee");
    const char* before = text;
    HRESULT appended = S_OK, assigned = S_OK, reserved = S_OK, formatted = S_OK;
    {
        AllocationsFail failing;
        try {
            text.Append(" and a text too long for the buffer");
        } catch (HRESULT hr) {
            appended = hr;
        }
        try {
            text = "a longer text than the buffer holds";
        } catch (HRESULT hr) {
            assigned = hr;
        }
        try {
            text.GetBuffer(64);
        } catch (HRESULT hr) {
            reserved = hr;
        }
        try {
            text.Format("%s", std::string(300, 'x').c_str());
        } catch (HRESULT hr) {
            formatted = hr;
        } catch (...) {
            formatted = E_UNEXPECTED;  // std::string itself could not be made
        }
    }
    EXPECT_EQ(E_OUTOFMEMORY, appended);
    EXPECT_EQ(E_OUTOFMEMORY, assigned);
    EXPECT_EQ(E_OUTOFMEMORY, reserved);
    EXPECT_NE(S_OK, formatted);
    EXPECT_STREQ("payee", text);
    EXPECT_EQ(5, text.GetCapacity());
    EXPECT_EQ(before, static_cast<const char*>(text));

    // Shorter texts need no new buffer and still go in.
    {
        AllocationsFail failing;
        text = "abc";
        text.Append("de");
    }
    EXPECT_STREQ("abcde", text);

    // A growth that succeeds keeps the text too.
    char* buffer = text.GetBuffer(40);
    EXPECT_STREQ("abcde", buffer);
    EXPECT_EQ(40, text.GetCapacity());
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

TEST(CStringTest, AssigningAPartOfItself)
{
    CString text("0123456789");
    text = static_cast<const char*>(text) + 4;
    EXPECT_STREQ("456789", text);
    text = static_cast<const char*>(text);
    EXPECT_STREQ("456789", text);
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
