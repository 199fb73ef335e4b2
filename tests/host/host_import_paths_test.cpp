// The sample host program imports statements from folders whose names the ANSI code page cannot
// hold, as users' folders often are: the module opens the chooser's wide name, and the chooser
// asks the module's filter by the file's short name.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/text_conversion.h"
#include "tests/support/com_test.h"
#include "tests/support/process.h"

namespace {

void WriteWide(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

class HostImportPathsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registered_ = RegisterBuiltModule() == 0; }
    static bool registered_;
};

bool HostImportPathsTest::registered_ = false;

TEST_F(HostImportPathsTest, StatementInAFolderNamedInPolishOrChineseIsImported)
{
    ASSERT_TRUE(registered_) << "regsvr32 could not register the built module";
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    for (const wchar_t* name : {L"Wyciągi Łódź", L"银行对账单"}) {
        const std::wstring folder = std::wstring(temp) + name + L" " + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        const std::wstring statement = folder + L"\\wyciąg.csv";
        WriteWide(statement, "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo\r\n"
                             "2019-03-01,2019-03-01,Y,10.50,FIRST,CR,R1,\r\n");

        const ProcessResult result =
            RunProcess(L"\"" + BuildPath(L"brenmark_host.exe") + L"\" import \"" + statement + L"\"");
        DeleteFileW(statement.c_str());
        RemoveDirectoryW(folder.c_str());

        EXPECT_EQ(0u, result.ExitCode) << result.Output;
        EXPECT_NE(std::string::npos, result.Output.find("Statement file: " + Utf8FromWide(statement) + "\n"))
            << result.Output;
        // Asked by the short name, the filter knows the file.
        EXPECT_NE(std::string::npos,
                  result.Output.find("File filter: accepts it as \"Statement Transaction file (CSV format)\"\n"))
            << result.Output;
        EXPECT_NE(std::string::npos, result.Output.find("Messages: (none)\nResult: S_OK\nStatus: 0\n"))
            << result.Output;
        EXPECT_NE(std::string::npos, result.Output.find("  1  2019-03-01   10.50  receipt  FIRST")) << result.Output;
    }
}
