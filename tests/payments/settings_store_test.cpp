// The settings store: where the file lives, how booleans read and write, byte-exact file contents.
// Each test works in a data folder of its own so that parallel test programs never share a file.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "tests/support/files.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/settings_store.h"

namespace {

std::string SettingsPath(const SettingsLocation& where)
{
    char path[MAX_PATH];
    std::memset(path, 'Z', sizeof path);
    const bool found = GetSettingsFilePath(where, path);
    EXPECT_EQ(found, path[0] != '\0');
    return path;
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        root_ = std::string(temp) + "brenmark-settings-" + std::to_string(GetCurrentProcessId()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(root_.c_str(), nullptr);
        folder_ = root_ + "\\TOLVAR\\Tolvar EBanking";
        file_ = folder_ + "\\BANKSERV.INI";
        where_ = SettingsLocation(root_);
    }

    void TearDown() override
    {
        DeleteFileA(file_.c_str());
        RemoveDirectoryA(folder_.c_str());
        RemoveDirectoryA((root_ + "\\TOLVAR").c_str());
        RemoveDirectoryA(root_.c_str());
    }

    // Puts a settings file in place, as an earlier run or an administrator would have left it.
    void PrepareFile(const std::string& bytes)
    {
        ASSERT_EQ(file_, SettingsPath(where_));
        WriteBytes(file_, bytes);
    }

    std::string root_, folder_, file_;
    SettingsLocation where_;
};

TEST_F(SettingsStoreTest, TheFileLivesUnderTheCommonApplicationDataFolder)
{
    where_ = SettingsLocation();
    char common[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, common, CSIDL_COMMON_APPDATA, FALSE));

    EXPECT_EQ(std::string(common) + "\\TOLVAR\\Tolvar EBanking\\BANKSERV.INI", SettingsPath(where_));
    EXPECT_TRUE(IsFolder(std::string(common) + "\\TOLVAR\\Tolvar EBanking"));
}

TEST_F(SettingsStoreTest, FirstReadCreatesTheFolderAndFirstWriteTheFile)
{
    ASSERT_FALSE(IsFolder(folder_));
    int flag = 7;

    EXPECT_FALSE(ReadSettingFlag(where_, "BMBUseLWFmt", &flag));

    EXPECT_EQ(7, flag);
    EXPECT_TRUE(IsFolder(folder_));
    EXPECT_FALSE(FileExists(file_));

    EXPECT_TRUE(WriteSettingFlag(where_, "BMBUseLWFmt", 1));

    EXPECT_EQ("[MIGRATED]\r\nBMBUseLWFmt=TRUE\r\n", ReadBytes(file_));
    EXPECT_TRUE(ReadSettingFlag(where_, "BMBUseLWFmt", &flag));
    EXPECT_EQ(1, flag);
}

TEST_F(SettingsStoreTest, OnlyTrueYesAndOneInAnyCaseReadAsTrue)
{
    PrepareFile("[MIGRATED]\r\n"
                "a=yes\r\nb=Yes\r\nc=1\r\nd=true\r\ne=TRUE\r\nf=YES\r\n"
                "g=0\r\nh=no\r\ni=FALSE\r\nj=on\r\nk=2\r\nl=yes please\r\nm=11\r\n"
                "[OTHER]\r\nn=TRUE\r\n");
    const struct {
        const char* Key;
        int Expected;
    } cases[] = {{"a", 1}, {"b", 1}, {"c", 1}, {"d", 1}, {"e", 1}, {"f", 1}, {"g", 0},
                 {"h", 0}, {"i", 0}, {"j", 0}, {"k", 0}, {"l", 0}, {"m", 0}};

    for (const auto& item : cases) {
        int flag = 5;
        EXPECT_TRUE(ReadSettingFlag(where_, item.Key, &flag)) << item.Key;
        EXPECT_EQ(item.Expected, flag) << item.Key;
    }
    // Only the one section counts.
    int flag = 5;
    EXPECT_FALSE(ReadSettingFlag(where_, "n", &flag));
    EXPECT_EQ(5, flag);
}

TEST_F(SettingsStoreTest, AnEmptyValueBehavesLikeAMissingKey)
{
    PrepareFile("[MIGRATED]\r\nBMBUseLWFmt401122_87654321=\r\n");
    int flag = 1;
    char text[16];
    std::memset(text, 'x', sizeof text);
    const DWORD size = sizeof text;

    EXPECT_FALSE(ReadSettingFlag(where_, "BMBUseLWFmt401122_87654321", &flag));
    EXPECT_EQ(1, flag);
    EXPECT_FALSE(ReadSettingFlag(where_, "BMBUseLWFmtMissing", &flag));
    EXPECT_EQ(1, flag);
    EXPECT_FALSE(ReadSetting(where_, "BMBUseLWFmt401122_87654321", text, &size));
    EXPECT_STREQ("", text);
}

TEST_F(SettingsStoreTest, FlagsAreWrittenAsTrueOrFalseInPlace)
{
    EXPECT_TRUE(WriteSettingFlag(where_, "BMBUseLWFmt", 0));
    EXPECT_EQ("[MIGRATED]\r\nBMBUseLWFmt=FALSE\r\n", ReadBytes(file_));

    EXPECT_TRUE(WriteSettingFlag(where_, "BMBUseLWFmt", -3));
    EXPECT_EQ("[MIGRATED]\r\nBMBUseLWFmt=TRUE\r\n", ReadBytes(file_));

    int flag = 0;
    EXPECT_TRUE(ReadSettingFlag(where_, "BMBUseLWFmt", &flag));
    EXPECT_EQ(1, flag);
}

TEST_F(SettingsStoreTest, TwoAccountsKeepIndependentKeys)
{
    const CString first = CString("BMBUseLWFmt") + "401122_87654321";
    const CString second = CString("BMBUseLWFmt") + "200000_12345678";

    EXPECT_TRUE(WriteSettingFlag(where_, first, 0));
    EXPECT_TRUE(WriteSettingFlag(where_, second, 1));
    EXPECT_TRUE(WriteSettingFlag(where_, first, 1));
    EXPECT_TRUE(WriteSettingFlag(where_, second, 0));

    EXPECT_EQ("[MIGRATED]\r\nBMBUseLWFmt401122_87654321=TRUE\r\nBMBUseLWFmt200000_12345678=FALSE\r\n",
              ReadBytes(file_));
    int flag = -1;
    EXPECT_TRUE(ReadSettingFlag(where_, first, &flag));
    EXPECT_EQ(1, flag);
    EXPECT_TRUE(ReadSettingFlag(where_, second, &flag));
    EXPECT_EQ(0, flag);
    EXPECT_FALSE(ReadSettingFlag(where_, "BMBUseLWFmt", &flag));
}

TEST_F(SettingsStoreTest, TextValuesRoundTripAndNeverPassTheBuffer)
{
    EXPECT_TRUE(WriteSetting(where_, "Note", "ABCDEFGHIJ"));
    EXPECT_FALSE(WriteSetting(where_, "Note", nullptr));
    EXPECT_EQ("[MIGRATED]\r\nNote=ABCDEFGHIJ\r\n", ReadBytes(file_));

    char text[16];
    std::memset(text, '#', sizeof text);
    const DWORD size = 5;
    EXPECT_TRUE(ReadSetting(where_, "Note", text, &size));
    EXPECT_STREQ("ABCD", text);
    for (size_t i = 5; i < sizeof text; ++i)
        EXPECT_EQ('#', text[i]) << "byte " << i;

    const DWORD zero = 0;
    EXPECT_FALSE(ReadSetting(where_, "Note", text, &zero));
    EXPECT_FALSE(ReadSetting(where_, "Note", text, nullptr));
    EXPECT_FALSE(ReadSettingFlag(where_, "Note", nullptr));
}

TEST_F(SettingsStoreTest, WithoutAUsableDataFolderNothingIsReadOrWritten)
{
    // A data folder so long that the settings path would not fit MAX_PATH.
    const std::string longFolder = root_ + "\\" + std::string(240, 'd');
    where_ = SettingsLocation(longFolder);
    int flag = 4;

    EXPECT_EQ("", SettingsPath(where_));
    EXPECT_FALSE(ReadSettingFlag(where_, "BMBUseLWFmt", &flag));
    EXPECT_EQ(4, flag);
    EXPECT_FALSE(WriteSettingFlag(where_, "BMBUseLWFmt", 1));

    // One that does not fit even its own buffer.
    const std::string tooLong(300, 'e');
    where_ = SettingsLocation(tooLong);
    EXPECT_EQ("", SettingsPath(where_));
    EXPECT_FALSE(WriteSetting(where_, "Note", "x"));
}

}  // namespace
