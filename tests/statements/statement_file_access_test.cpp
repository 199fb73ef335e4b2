// The chosen statement file as users keep their files, through the registered module: folders
// named in any script, a file that a spreadsheet holds open, a file that changes while it is
// imported, and files that cannot be read at all. Each message is read from the real message box.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <windows.h>

#include <string>
#include <vector>

#include "modal/modal_driver.h"
#include "standin/standin_host.h"
#include "tests/support/files.h"
#include "tests/support/registered_bank.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char kColumnNames[] = "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo\r\n";
const char kTwoTransactions[] = "2019-03-01,2019-03-01,Y,10.50,FIRST,CR,R1,\r\n"
                                "2019-03-02,2019-03-02,Y,-20.00,SECOND,DEB,R2,000777\r\n";
const wchar_t kUnchanged[] = L"\n\nNothing was imported; the statement is unchanged.";

// The message of a message box, wide, as the user reads it.
std::wstring MessageText(HWND box)
{
    std::wstring found;
    for (HWND child = GetWindow(box, GW_CHILD); child && found.empty(); child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[32] = {};
        GetClassNameW(child, className, 32);
        if (lstrcmpiW(className, L"Static") != 0)
            continue;
        const int length = GetWindowTextLengthW(child);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(child, &text[0], length + 1)));
        found = text;
    }
    return found;
}

// A folder of the given wide name in the temporary folder, removed with its files at the end.
class WideFolder {
public:
    explicit WideFolder(const std::wstring& name)
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + name + L"-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~WideFolder()
    {
        for (const std::wstring& file : files_)
            DeleteFileW(file.c_str());
        RemoveDirectoryW(path_.c_str());
    }
    WideFolder(const WideFolder&) = delete;
    WideFolder& operator=(const WideFolder&) = delete;

    std::wstring Write(const std::wstring& name, const std::string& bytes)
    {
        const std::wstring file = path_ + L"\\" + name;
        HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (handle != INVALID_HANDLE_VALUE) {
            WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            CloseHandle(handle);
        }
        files_.push_back(file);
        return file;
    }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    std::vector<std::wstring> files_;
};

// Overwrites bytes of a file in place through a handle of its own, as another program would.
void WriteAt(const std::wstring& file, long offset, const std::string& bytes)
{
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle) << GetLastError();
    SetFilePointer(handle, offset, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(handle);
}

struct WideRun {
    HRESULT Result = E_FAIL;
    long Status = -1;
    std::vector<std::wstring> Messages;  // the message boxes' texts, in order
    std::vector<std::string> Captions;
    long Unexpected = 0;
};

}  // namespace

class StatementFileAccessTest : public RegisteredBankTest {
protected:
    // The chooser chooses the wide path; every message box is read and answered OK.
    WideRun ImportWide(const std::wstring& path)
    {
        chooser_.FileName = path;
        chooser_.ShowResult = 0;
        WideRun run;
        modal::ModalDriver driver;
        driver.On("Statement Import")
            .Run([&](HWND window, modal::WindowRecord&) { run.Messages.push_back(MessageText(window)); })
            .Press(IDOK);
        run.Result = statements_->ImportStatement(nullptr, statement_.Get());
        SetErrorInfo(0, nullptr);
        statements_->get_Status(&run.Status);
        for (const modal::WindowRecord& record : driver.Windows())
            run.Captions.push_back(record.Caption);
        run.Unexpected = driver.UnexpectedCount();
        return run;
    }

    std::vector<std::wstring> Details() const
    {
        std::vector<std::wstring> details;
        for (const auto& transaction : statement_.Transactions())
            details.push_back(transaction.Details);
        return details;
    }

    standin::Statement statement_{log_};
};

TEST_F(StatementFileAccessTest, FoldersNamedInPolishAndChinese)
{
    for (const wchar_t* name : {L"Wyciągi Łódź żółć", L"银行对账单"}) {
        WideFolder folder(name);
        const std::wstring file = folder.Write(L"wyciąg 对账.csv", std::string(kColumnNames) + kTwoTransactions);
        const WideRun run = ImportWide(file);
        EXPECT_EQ(S_OK, run.Result);
        EXPECT_EQ(0, run.Status) << (run.Messages.empty() ? "" : "message shown");
        EXPECT_THAT(run.Messages, IsEmpty());
        EXPECT_THAT(Details(), ElementsAre(L"FIRST", L"SECOND"));

        // A refusal names the file with its own characters.
        const std::wstring damaged =
            folder.Write(L"zły.csv", std::string(kColumnNames) + "2019-03-01,x,Y,1.5CR,A,B,C,\r\n");
        const WideRun refused = ImportWide(damaged);
        EXPECT_EQ(2, refused.Status);
        ASSERT_EQ(1u, refused.Messages.size());
        EXPECT_EQ(0u, refused.Messages[0].find(L"The statement file cannot be imported:\n" + damaged + L"\n\nLine 2"));
        EXPECT_EQ(2, statement_.TransactionCount()) << "the refused file left the statement alone";
    }
}

TEST_F(StatementFileAccessTest, FileHeldOpenByASpreadsheetIsImported)
{
    WideFolder folder(L"held");
    const std::wstring file = folder.Write(L"statement.csv", std::string(kColumnNames) + kTwoTransactions);
    // Read and write access, reading shared: as a spreadsheet holds the file it shows.
    HANDLE spreadsheet =
        CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, spreadsheet);
    const WideRun run = ImportWide(file);
    CloseHandle(spreadsheet);
    EXPECT_EQ(S_OK, run.Result);
    EXPECT_EQ(0, run.Status);
    EXPECT_THAT(run.Messages, IsEmpty());
    EXPECT_THAT(Details(), ElementsAre(L"FIRST", L"SECOND"));
}

TEST_F(StatementFileAccessTest, FileChangedBetweenThePassesIsRefused)
{
    struct Change {
        const char* What;
        long Offset;  // from the start of the transactions; -1: at the end
        std::string Bytes;
    };
    const Change changes[] = {
        {"an amount, same size", 24, "9"},
        {"a line added", -1, "2019-03-03,2019-03-03,Y,1.00,THIRD,CR,R3,\r\n"},
        {"a letter of the details, same size", 30, "G"},
    };
    for (const Change& change : changes) {
        WideFolder folder(L"changing");
        const std::string original = std::string(kColumnNames) + kTwoTransactions;
        const std::wstring file = folder.Write(L"statement.csv", original);
        // The statement's first call comes between the check and the reading.
        int resets = 0;
        statement_.Self().OnCall("Reset", [&] {
            if (resets++ == 0)
                WriteAt(file,
                        change.Offset < 0 ? static_cast<long>(original.size())
                                          : static_cast<long>(sizeof kColumnNames - 1) + change.Offset,
                        change.Bytes);
        });
        const WideRun run = ImportWide(file);
        statement_.Self().OnCall("Reset", [] {});
        EXPECT_EQ(S_OK, run.Result) << change.What;
        EXPECT_EQ(2, run.Status) << change.What;
        EXPECT_EQ(2, resets) << change.What << ": emptied again";
        EXPECT_EQ(0, statement_.TransactionCount()) << change.What;
        ASSERT_EQ(1u, run.Messages.size()) << change.What;
        EXPECT_EQ(L"The statement file " + file +
                      L" changed while it was being imported: another program wrote to it after it had been "
                      L"checked.\n\nNothing was imported; the statement was emptied again. Import the file again "
                      L"once that program has saved it.",
                  run.Messages[0])
            << change.What;
        EXPECT_EQ(0, run.Unexpected);
    }
}

TEST_F(StatementFileAccessTest, FilesThatCannotBeReadAreNamedWithTheReason)
{
    WideFolder folder(L"unreadable");
    const std::wstring gone = folder.Path() + L"\\gone.csv";
    const std::wstring held = folder.Write(L"held.csv", std::string(kColumnNames) + kTwoTransactions);
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    // A folder where a file was expected: Windows answers "access denied", as for a file the user
    // may not read.
    const std::wstring denied = folder.Path();

    struct Case {
        std::wstring Path;
        std::wstring Reason;
    };
    const Case cases[] = {
        {gone, L"The file is not there: it may have been moved, renamed or deleted, or its folder may not be "
               L"available."},
        {held, L"Another program has the file open and lets no other program read it. Close the file in that "
               L"program, then import it again."},
        {denied, L"You do not have permission to read the file."},
    };
    for (const Case& c : cases) {
        const WideRun run = ImportWide(c.Path);
        EXPECT_EQ(S_OK, run.Result);
        EXPECT_EQ(2, run.Status);
        EXPECT_THAT(run.Captions, ElementsAre("Statement Import"));
        ASSERT_EQ(1u, run.Messages.size());
        EXPECT_EQ(L"The statement file cannot be read:\n" + c.Path + L"\n\n" + c.Reason + kUnchanged, run.Messages[0]);
        EXPECT_EQ(0, statement_.ResetCount());
        EXPECT_EQ(0, run.Unexpected);
    }
    CloseHandle(holder);
}
