// Output file placement: the save dialog's file types, the save dialog driven through its controls,
// the payment file written whole or not at all (each step of its writing made to fail), the direct
// and the VirtualStore place, the redirect notice with its answers, and folders in any script.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "tests/support/com_test.h"
#include "tests/support/files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "payments/output_file.h"
#include "payments/payment_file_writer.h"
#include "modal/modal_driver.h"

using modal::ModalDriver;
using modal::WindowRecord;

// What a placement keeps to itself, as the tests read it; Choose stands for the save dialog.
class PlacementProbe {
public:
    // The path the user would have chosen; false when it does not fit MAX_PATH.
    static bool Choose(OutputPlacement& placement, const wchar_t* path)
    {
        if (!path || std::wcslen(path) >= MAX_PATH)
            return false;
        std::wmemset(placement.chosenPath_, 0, MAX_PATH);
        std::wmemcpy(placement.chosenPath_, path, std::wcslen(path));
        return true;
    }
    static const wchar_t* Filter(const OutputPlacement& placement) { return placement.filter_; }
    static const wchar_t* ChosenPath(const OutputPlacement& placement) { return placement.chosenPath_; }
    static const wchar_t* UnfinishedPath(const OutputPlacement& placement) { return placement.unfinishedPath_; }
    static const wchar_t* WrittenPath(const OutputPlacement& placement) { return placement.writtenPath_; }
    static bool OpenedInVirtualStore(const OutputPlacement& placement) { return placement.openedInVirtualStore_; }
    static const wchar_t* VirtualStorePath(const OutputPlacement& placement) { return placement.virtualStorePath_; }
    static const wchar_t* FailedPath(const OutputPlacement& placement) { return placement.failedPath_; }
    static DWORD Failure(const OutputPlacement& placement) { return placement.failure_; }
};

namespace {

const char kSaveCaption[] = "Save As";  // the system's own title for a save dialog without one
const int kFileNameBox = 0x47c;         // cmb13: the explorer-style dialog's file name
const int kFileTypeList = 0x470;        // cmb1
const int kReadOnlyBox = 0x410;         // chx1
const char kNoticeCaption[] = "Windows Redirect";

void MakeFolder(const std::string& path)
{
    SHCreateDirectoryExA(nullptr, path.c_str(), nullptr);
}

void SetWriteTime(const std::string& path, LONGLONG secondsFromNow)
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
    time.QuadPart += static_cast<ULONGLONG>(secondsFromNow * 10000000LL);
    const FILETIME written{time.LowPart, time.HighPart};
    const HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
}

// Whether path is an unfinished copy's name for chosen: the chosen name, ".partial-" and sixteen
// upper-case hexadecimal digits.
bool IsUnfinishedCopyOf(const std::wstring& chosen, const std::wstring& path)
{
    const std::wstring start = chosen + L".partial-";
    if (path.size() != start.size() + 16 || path.compare(0, start.size(), start) != 0)
        return false;
    for (size_t i = start.size(); i < path.size(); ++i) {
        if (!std::iswdigit(path[i]) && (path[i] < L'A' || path[i] > L'F'))
            return false;
    }
    return true;
}

// The registry, the shell folder and the shell, replaced: the test decides who is elevated and
// where the local application data lives, and sees what would have been opened. The file steps
// are the system's, noted in order, and each can be made to fail; a folder can refuse to create
// files, the random names can be given, and someone can add a name to a new copy.
class FakePlatform : public PlacementPlatform {
public:
    bool IsElevated() override { return Elevated; }
    bool LocalAppDataFolder(wchar_t (&folder)[MAX_PATH]) override
    {
        if (!HasLocalFolder || LocalFolder.size() >= MAX_PATH)
            return false;
        std::wmemset(folder, 0, MAX_PATH);
        std::wmemcpy(folder, LocalFolder.c_str(), LocalFolder.size());
        return true;
    }
    void OpenFolder(const wchar_t* folder) override { Opened.push_back(folder); }

    bool Random(unsigned char* bytes, unsigned long size) override
    {
        if (RandomBytes.empty())
            return PlacementPlatform::Random(bytes, size);
        const std::string next = RandomBytes.front();
        if (RandomBytes.size() > 1)
            RandomBytes.erase(RandomBytes.begin());
        std::memset(bytes, 0, size);
        std::memcpy(bytes, next.data(), next.size() < size ? next.size() : size);
        return true;
    }

    DWORD Create(const wchar_t* path, std::FILE** file) override
    {
        Steps.push_back(L"Create " + std::wstring(path));
        if (!RefuseCreateUnder.empty() &&
            std::wstring(path).compare(0, RefuseCreateUnder.size(), RefuseCreateUnder) == 0)
            return ERROR_ACCESS_DENIED;
        const DWORD error = PlacementPlatform::Create(path, file);
        if (error == ERROR_SUCCESS && !LinkOnCreate.empty())
            Linked = CreateHardLinkW(LinkOnCreate.c_str(), path, nullptr) != FALSE;
        if (error == ERROR_SUCCESS && FailWrites) {
            // The same file, open for reading only: every write to it fails.
            std::fclose(*file);
            *file = _wfopen(path, L"r");
        }
        return error;
    }
    DWORD Flush(std::FILE* file) override
    {
        Steps.push_back(L"Flush");
        const DWORD error = PlacementPlatform::Flush(file);
        if (!LinkOnFlush.empty())
            Linked = CreateHardLinkW(LinkOnFlush.c_str(), UnfinishedOf(file).c_str(), nullptr) != FALSE;
        return FlushError ? FlushError : error;
    }
    DWORD Close(std::FILE* file) override
    {
        Steps.push_back(L"Close");
        const DWORD error = PlacementPlatform::Close(file);
        return CloseError ? CloseError : error;
    }
    DWORD Move(const wchar_t* from, const wchar_t* to) override
    {
        Steps.push_back(L"Move " + std::wstring(from) + L" -> " + to);
        if (MoveError && (RefuseMoveTo.empty() || RefuseMoveTo == to))
            return MoveError;
        return PlacementPlatform::Move(from, to);
    }

    // The path of the copy that Create made last.
    std::wstring UnfinishedOf(std::FILE*) const
    {
        for (auto step = Steps.rbegin(); step != Steps.rend(); ++step) {
            if (step->compare(0, 7, L"Create ") == 0)
                return step->substr(7);
        }
        return L"";
    }

    bool Elevated = false;
    bool HasLocalFolder = true;
    std::wstring RefuseCreateUnder;          // Create gives ERROR_ACCESS_DENIED for paths under it
    std::vector<std::string> RandomBytes;    // given in turn, the last one again and again
    std::wstring LinkOnCreate, LinkOnFlush;  // a second name made for the copy at that step
    bool Linked = false;
    std::wstring LocalFolder;
    std::vector<std::wstring> Opened;
    std::vector<std::wstring> Steps;
    bool FailWrites = false;
    DWORD FlushError = 0, CloseError = 0, MoveError = 0;
    std::wstring RefuseMoveTo;  // empty: every move is refused
};

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        // Short: the VirtualStore path repeats the whole folder and must fit MAX_PATH.
        static int count = 0;
        root_ = std::string(temp) + "bmo" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
        MakeFolder(root_ + "\\out");
        MakeFolder(root_ + "\\local");
        platform_.LocalFolder = Wide(root_ + "\\local");
        // A folder in which the user may not create files.
        protectedPath_ = root_ + "\\protected\\Acme\\pay.csv";
        platform_.RefuseCreateUnder = Wide(root_ + "\\protected\\");
        virtualStorePath_ = root_ + "\\local\\virtualstore" + protectedPath_.substr(2);
    }

    void TearDown() override
    {
        std::string from = root_;
        from.push_back('\0');  // the list ends with two zero bytes
        SHFILEOPSTRUCTA operation{};
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
        SHFileOperationA(&operation);
    }

    // The VirtualStore folder the system would have made for the protected path.
    void PrepareVirtualStore() { MakeFolder(virtualStorePath_.substr(0, virtualStorePath_.rfind('\\'))); }

    std::string Notice(const std::string& path) const
    {
        return "Due to Windows Redirect your file was saved to: " + path + "\n\nWould you like to open the directory?";
    }

    FakePlatform platform_;
    std::string root_, protectedPath_, virtualStorePath_;
};

// A literal's characters with its embedded zeros, without the terminator the compiler adds.
template <size_t N>
std::wstring Chars(const wchar_t (&literal)[N])
{
    return std::wstring(literal, N - 1);
}

std::wstring FilterChars(const OutputPlacement& placement)
{
    // Up to and including the two zeros that end the list.
    const wchar_t* filter = PlacementProbe::Filter(placement);
    size_t length = 0;
    while (filter[length] || filter[length + 1])
        ++length;
    return std::wstring(filter, length + 2);
}

// ---------------------------------------------------------------------------------------------
// The list of file types.

TEST_F(OutputFileTest, FilterListOffersPaymentFilesForTheExtensionThenAllFiles)
{
    OutputPlacement placement(platform_);

    placement.BuildFilter("csv");
    EXPECT_EQ(Chars(L"Payment Files (*.csv)\0*.csv\0All Files (*.*)\0*.*\0\0"), FilterChars(placement));

    placement.BuildFilter("");
    EXPECT_EQ(Chars(L"All Files (*.*)\0*.*\0\0"), FilterChars(placement));

    placement.BuildFilter(nullptr);
    EXPECT_EQ(Chars(L"All Files (*.*)\0*.*\0\0"), FilterChars(placement));
}

TEST_F(OutputFileTest, AnExtensionTooLongForTheListFallsBackToAllFiles)
{
    OutputPlacement placement(platform_);
    const std::string huge(700, 'x');

    placement.BuildFilter(huge.c_str());

    EXPECT_EQ(Chars(L"All Files (*.*)\0*.*\0\0"), FilterChars(placement));
    // Nothing of the long text is left behind in the list.
    const wchar_t* filter = PlacementProbe::Filter(placement);
    for (size_t i = 21; i < OutputPlacement::FilterSize; ++i)
        ASSERT_EQ(L'\0', filter[i]) << "character " << i;
}

// ---------------------------------------------------------------------------------------------
// The save dialog.

TEST_F(OutputFileTest, SaveDialogProposesTheInitialPathAndReturnsItOnSave)
{
    const std::string initial = root_ + "\\out\\PAYMENTS.CSV";
    const HWND owner = CreateWindowExA(0, "Static", "Owner", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                       nullptr, nullptr);
    SetActiveWindow(owner);
    char before[MAX_PATH] = {}, after[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, before);
    ModalDriver driver;
    driver.On(kSaveCaption).Press(IDOK);
    OutputPlacement placement(platform_);
    placement.BuildFilter("csv");

    const bool saved = placement.ShowSaveDialog("csv", initial.c_str());

    GetCurrentDirectoryA(MAX_PATH, after);
    DestroyWindow(owner);
    ASSERT_TRUE(saved) << driver.Summary();
    EXPECT_EQ(Wide(initial), PlacementProbe::ChosenPath(placement));
    ASSERT_EQ(1u, driver.Windows().size()) << driver.Summary();
    const WindowRecord& dialog = driver.Windows()[0];
    EXPECT_EQ(owner, dialog.Owner);
    EXPECT_EQ("PAYMENTS.CSV", dialog.Control(kFileNameBox)->Text);
    EXPECT_EQ("Payment Files (*.csv)", dialog.Control(kFileTypeList)->Text);
    EXPECT_FALSE(dialog.Control(kReadOnlyBox)->Visible);
    EXPECT_TRUE(dialog.Style & WS_THICKFRAME);  // resizable
    EXPECT_STREQ(before, after);
}

TEST_F(OutputFileTest, ANameTypedWithoutExtensionGetsTheDefaultExtension)
{
    ModalDriver driver;
    driver.On(kSaveCaption).Type(kFileNameBox, "june").Press(IDOK);
    OutputPlacement placement(platform_);
    placement.BuildFilter("txt");

    ASSERT_TRUE(placement.ShowSaveDialog("txt", (root_ + "\\out\\PAYMENTS.TXT").c_str())) << driver.Summary();

    EXPECT_EQ(Wide(root_ + "\\out\\june.txt"), PlacementProbe::ChosenPath(placement));
    EXPECT_TRUE(driver.Windows()[0].Problems.empty()) << driver.Summary();
}

TEST_F(OutputFileTest, CancellingTheSaveDialogChoosesNothing)
{
    ModalDriver driver;
    driver.On(kSaveCaption).Press(IDCANCEL);
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, L"C:\\earlier.csv");

    EXPECT_FALSE(placement.ShowSaveDialog("csv", (root_ + "\\out\\PAYMENTS.CSV").c_str()));

    EXPECT_STREQ(L"", PlacementProbe::ChosenPath(placement));
    EXPECT_EQ(0, driver.UnexpectedCount()) << driver.Summary();
}

TEST_F(OutputFileTest, AnExistingFileIsOnlyReplacedAfterConfirmation)
{
    const std::string existing = root_ + "\\out\\PAYMENTS.CSV";
    WriteBytes(existing, "old");
    ModalDriver driver;
    // The confirmation's caption is the system's own; it is the next window either way.
    driver.On(kSaveCaption).Press(IDOK).Press(IDOK);
    driver.OnNext().Press(IDNO);
    driver.OnNext().Press(IDYES);
    OutputPlacement placement(platform_);

    ASSERT_TRUE(placement.ShowSaveDialog("csv", existing.c_str())) << driver.Summary();

    EXPECT_EQ(Wide(existing), PlacementProbe::ChosenPath(placement));
    ASSERT_EQ(3u, driver.Windows().size()) << driver.Summary();
    EXPECT_EQ(driver.Windows()[0].Window, driver.Windows()[1].Owner);
    EXPECT_NE(std::string::npos, driver.Windows()[1].Text.find("exists")) << driver.Windows()[1].Text;
    EXPECT_EQ(0, driver.UnexpectedCount()) << driver.Summary();
    EXPECT_EQ("old", ReadBytes(existing));  // the dialog itself writes nothing
}

// ---------------------------------------------------------------------------------------------
// Writing the file and the redirect notice.

// Writes the text through the payment file's writer, each "\n" as the writer's line end; the
// writer's error (0 when every write succeeded).
int WriteLines(PaymentFile& file, const std::string& text)
{
    PaymentFileWriter writer(file.Get());
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        writer.Write(text.data() + start, end - start);
        writer.EndLine();
    }
    writer.Write(text.data() + start, text.size() - start);
    writer.Finish();
    return writer.Error();
}

// Opens, writes the bytes and commits, as a run does.
bool WriteWhole(OutputPlacement& placement, const char* bytes)
{
    PaymentFile file = placement.Open();
    if (!file)
        return false;
    if (const int error = WriteLines(file, bytes))
        placement.NoteWriteFailure(error);
    return placement.Commit(file);
}

TEST_F(OutputFileTest, AWritableFolderIsWrittenDirectlyWithoutNotice)
{
    ModalDriver driver;
    OutputPlacement placement(platform_);
    const std::string path = root_ + "\\out\\PAY.CSV";
    WriteBytes(path, "an older, longer file");
    ASSERT_TRUE(PlacementProbe::Choose(placement, Wide(path).c_str()));

    PaymentFile file = placement.Open();
    ASSERT_TRUE(file);
    WriteLines(file, "1,2,3\n");
    // Until the commit the earlier file is all there is at the chosen path.
    EXPECT_EQ("an older, longer file", ReadBytes(path));
    EXPECT_TRUE(IsUnfinishedCopyOf(Wide(path), PlacementProbe::UnfinishedPath(placement)))
        << PlacementProbe::UnfinishedPath(placement);
    EXPECT_TRUE(placement.Commit(file));

    EXPECT_EQ(Wide(path), PlacementProbe::WrittenPath(placement));
    EXPECT_FALSE(PlacementProbe::OpenedInVirtualStore(placement));
    EXPECT_EQ(Wide(root_ + "\\local\\virtualstore" + path.substr(2)), PlacementProbe::VirtualStorePath(placement));
    EXPECT_EQ("1,2,3\r\n", ReadBytes(path));  // replaced whole, text mode
    EXPECT_EQ(std::vector<std::wstring>{L"PAY.CSV"}, FolderEntries(Wide(root_ + "\\out")));
    EXPECT_EQ(ERROR_SUCCESS, PlacementProbe::Failure(placement));
    EXPECT_FALSE(placement.NotifyRedirect());
    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
    EXPECT_FALSE(FileExists(std::wstring(PlacementProbe::VirtualStorePath(placement))));
}

TEST_F(OutputFileTest, TheFileIsFlushedClosedAndOnlyThenMovedOverTheChosenPath)
{
    OutputPlacement placement(platform_);
    const std::wstring path = Wide(root_ + "\\out\\PAY.CSV");
    PlacementProbe::Choose(placement, path.c_str());

    ASSERT_TRUE(WriteWhole(placement, "x\n"));

    ASSERT_FALSE(platform_.Steps.empty());
    const std::wstring copy = platform_.Steps[0].substr(7);
    EXPECT_TRUE(IsUnfinishedCopyOf(path, copy)) << copy;
    const std::vector<std::wstring> steps = {L"Create " + copy, L"Flush", L"Close", L"Move " + copy + L" -> " + path};
    EXPECT_EQ(steps, platform_.Steps);
}

TEST_F(OutputFileTest, EachRunsCopyHasANewRandomName)
{
    const std::wstring path = Wide(root_ + "\\out\\PAY.CSV");
    std::vector<std::wstring> copies;
    for (int run = 0; run < 3; ++run) {
        OutputPlacement placement(platform_);
        PlacementProbe::Choose(placement, path.c_str());
        PaymentFile file = placement.Open();
        ASSERT_TRUE(file);
        copies.push_back(PlacementProbe::UnfinishedPath(placement));
        placement.Discard(file);
    }
    EXPECT_NE(copies[0], copies[1]);
    EXPECT_NE(copies[1], copies[2]);
    EXPECT_NE(copies[0], copies[2]);
}

TEST_F(OutputFileTest, OnlyPlainCopiesOfTheModulesOwnFormThatDeadRunsLeftAreDeleted)
{
    // What runs that died while writing left beside the chosen path, and things that only look so.
    const std::string folder = root_ + "\\out\\";
    const std::string path = folder + "PAY.CSV";
    WriteBytes(path, "last month\r\n");
    WriteBytes(path + ".partial-0123456789ABCDEF", "123456,12345678,HALF A BAT");
    WriteBytes(path + ".partial-FEDCBA9876543210", "123456,12345678,HALF ANOTHER");
    WriteBytes(folder + "victim.txt", "someone else's file");
    ASSERT_TRUE(CreateHardLinkA((path + ".partial-1111111111111111").c_str(), (folder + "victim.txt").c_str(), nullptr))
        << "hard links: " << GetLastError();
    MakeFolder(path + ".partial-2222222222222222");
    // A symbolic link, where the system can make one (Wine 8 says it did and makes none).
    const std::string symbolicLink = path + ".partial-3333333333333333";
    CreateSymbolicLinkA(symbolicLink.c_str(), (folder + "victim.txt").c_str(), 0);
    const DWORD linkAttributes = GetFileAttributesA(symbolicLink.c_str());
    const bool symbolic =
        linkAttributes != INVALID_FILE_ATTRIBUTES && (linkAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    std::printf("Symbolic link among the leftovers: %s\n", symbolic ? "made" : "not supported here");
    const std::vector<std::string> kept = {"PAY.CSV.partial",
                                           "PAY.CSV.partial-0123456789ABCDE",
                                           "PAY.CSV.partial-0123456789ABCDEF0",
                                           "PAY.CSV.partial-0123456789ABCDEG",
                                           "OTHER.CSV.partial-0123456789ABCDEF",
                                           "PAY.CSV-0123456789ABCDEF"};
    for (const std::string& name : kept)
        WriteBytes(folder + name, "not the module's");
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, Wide(path).c_str());

    ASSERT_TRUE(WriteWhole(placement, "new\n"));

    EXPECT_EQ("new\r\n", ReadBytes(path));
    std::vector<std::wstring> expected = {L"PAY.CSV", L"PAY.CSV.partial-1111111111111111",
                                          L"PAY.CSV.partial-2222222222222222", L"victim.txt"};
    for (const std::string& name : kept)
        expected.push_back(Wide(name));
    if (symbolic)
        expected.push_back(L"PAY.CSV.partial-3333333333333333");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, FolderEntries(Wide(root_ + "\\out")));
    EXPECT_EQ("someone else's file", ReadBytes(folder + "victim.txt"));
    EXPECT_EQ("someone else's file", ReadBytes(path + ".partial-1111111111111111"));
}

TEST_F(OutputFileTest, ACopyIsNeverAFileThatExists)
{
    // A name someone made beforehand, linked to their own file, under the random part the run draws.
    const std::string folder = root_ + "\\out\\";
    const std::string path = folder + "PAY.CSV";
    WriteBytes(folder + "victim.txt", "someone else's file");
    ASSERT_TRUE(
        CreateHardLinkA((path + ".partial-0101010101010101").c_str(), (folder + "victim.txt").c_str(), nullptr));
    platform_.RandomBytes = {std::string(8, '\x01'), std::string(8, '\x02')};
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, Wide(path).c_str());

    ASSERT_TRUE(WriteWhole(placement, "new\n"));

    EXPECT_EQ("new\r\n", ReadBytes(path));
    EXPECT_EQ("someone else's file", ReadBytes(folder + "victim.txt"));
    ASSERT_EQ(5u, platform_.Steps.size());
    EXPECT_EQ(L"Create " + Wide(path) + L".partial-0101010101010101", platform_.Steps[0]);
    EXPECT_EQ(L"Create " + Wide(path) + L".partial-0202020202020202", platform_.Steps[1]);

    // When every name drawn is taken, nothing is written.
    platform_.RandomBytes = {std::string(8, '\x01')};
    platform_.Elevated = true;
    WriteBytes(path, "earlier");
    OutputPlacement again(platform_);
    PlacementProbe::Choose(again, Wide(path).c_str());
    EXPECT_FALSE(again.Open());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), PlacementProbe::Failure(again));
    EXPECT_EQ("someone else's file", ReadBytes(folder + "victim.txt"));
    EXPECT_EQ("earlier", ReadBytes(path));
}

TEST_F(OutputFileTest, ACopyThatHasASecondNameIsRefusedAndNothingIsWritten)
{
    // Someone quick enough adds a name of their own to the new copy, when it is made or while it
    // is written: the run refuses it and writes nothing there or at the chosen path.
    const std::string folder = root_ + "\\out\\";
    const std::string path = folder + "PAY.CSV";
    struct Case {
        const char* When;
        std::wstring FakePlatform::*Link;
    };
    for (const Case& c : {Case{"made", &FakePlatform::LinkOnCreate}, Case{"written", &FakePlatform::LinkOnFlush}}) {
        SCOPED_TRACE(c.When);
        const std::string link = folder + "theirs-" + c.When + ".txt";
        platform_.LinkOnCreate.clear();
        platform_.LinkOnFlush.clear();
        platform_.*c.Link = Wide(link);
        platform_.Linked = false;
        platform_.Steps.clear();
        WriteBytes(path, "earlier");
        OutputPlacement placement(platform_);
        PlacementProbe::Choose(placement, Wide(path).c_str());

        EXPECT_FALSE(WriteWhole(placement, "123456,12345678,NEW,20.00,12,Invoice\n"));

        ASSERT_TRUE(platform_.Linked) << "CreateHardLinkW: " << GetLastError();
        EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), PlacementProbe::Failure(placement));
        EXPECT_EQ(Wide(path), PlacementProbe::FailedPath(placement));
        EXPECT_EQ("earlier", ReadBytes(path));
        EXPECT_EQ("", ReadBytes(link));
        EXPECT_TRUE(FileExists(link));
        const std::vector<std::wstring> left = FolderEntries(Wide(root_ + "\\out"));
        EXPECT_EQ(2u, left.size());  // the chosen file and their name: no copy of the run's
        EXPECT_EQ(0, std::count_if(platform_.Steps.begin(), platform_.Steps.end(),
                                   [](const std::wstring& step) { return step.compare(0, 5, L"Move ") == 0; }));
        DeleteFileA(link.c_str());
    }
}

TEST_F(OutputFileTest, AFailureAtAnyStepLeavesTheEarlierFileAndNoCopy)
{
    struct Case {
        const char* Step;
        bool FailWrites;
        DWORD FlushError, CloseError, MoveError;
        DWORD Reported;
    };
    const Case cases[] = {
        {"write", true, 0, 0, 0, ERROR_WRITE_FAULT},
        {"flush", false, ERROR_DISK_FULL, 0, 0, ERROR_DISK_FULL},
        {"close", false, 0, ERROR_NETNAME_DELETED, 0, ERROR_NETNAME_DELETED},
        {"move", false, 0, 0, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
    };
    const std::string path = root_ + "\\out\\PAY.CSV";
    const std::string earlier = "123456,12345678,LAST MONTH,10.00,12,Invoice\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Step);
        WriteBytes(path, earlier);
        platform_.FailWrites = c.FailWrites;
        platform_.FlushError = c.FlushError;
        platform_.CloseError = c.CloseError;
        platform_.MoveError = c.MoveError;
        platform_.Elevated = true;  // no VirtualStore to fall back on
        OutputPlacement placement(platform_);
        PlacementProbe::Choose(placement, Wide(path).c_str());

        EXPECT_FALSE(WriteWhole(placement, "123456,12345678,NEW,20.00,12,Invoice\n"));

        EXPECT_EQ(c.Reported, PlacementProbe::Failure(placement));
        EXPECT_EQ(Wide(path), PlacementProbe::FailedPath(placement));
        EXPECT_STREQ(L"", PlacementProbe::WrittenPath(placement));
        EXPECT_EQ(earlier, ReadBytes(path));
        EXPECT_EQ(std::vector<std::wstring>{L"PAY.CSV"}, FolderEntries(Wide(root_ + "\\out")));
    }
}

TEST_F(OutputFileTest, WithoutAnEarlierFileAFailedRunLeavesNothing)
{
    platform_.MoveError = ERROR_ACCESS_DENIED;
    platform_.Elevated = true;
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, Wide(root_ + "\\out\\PAY.CSV").c_str());

    EXPECT_FALSE(WriteWhole(placement, "x\n"));

    EXPECT_TRUE(FolderEntries(Wide(root_ + "\\out")).empty());
}

TEST_F(OutputFileTest, ADiscardedFileLeavesTheChosenPathAsItWas)
{
    const std::string path = root_ + "\\out\\PAY.CSV";
    WriteBytes(path, "earlier");
    {
        OutputPlacement placement(platform_);
        PlacementProbe::Choose(placement, Wide(path).c_str());
        PaymentFile file = placement.Open();
        WriteLines(file, "part of a batch\n");
        placement.Discard(file);
        EXPECT_EQ(std::vector<std::wstring>{L"PAY.CSV"}, FolderEntries(Wide(root_ + "\\out")));
    }
    {
        // A run that ends without a word (something raised) loses its copy with the placement.
        OutputPlacement placement(platform_);
        PlacementProbe::Choose(placement, Wide(path).c_str());
        PaymentFile file = placement.Open();
        WriteLines(file, "part of a batch\n");
    }
    EXPECT_EQ("earlier", ReadBytes(path));
    EXPECT_EQ(std::vector<std::wstring>{L"PAY.CSV"}, FolderEntries(Wide(root_ + "\\out")));
}

TEST_F(OutputFileTest, TheUserIsToldWhichFileCouldNotBeWrittenAndWhy)
{
    platform_.MoveError = ERROR_ACCESS_DENIED;
    platform_.Elevated = true;
    const HWND owner = CreateWindowExA(0, "Static", "Owner", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                       nullptr, nullptr);
    SetActiveWindow(owner);
    ModalDriver driver;
    driver.On("Payment Export").Press(IDOK);
    OutputPlacement placement(platform_);
    const std::string path = root_ + "\\out\\PAY.CSV";
    PlacementProbe::Choose(placement, Wide(path).c_str());
    ASSERT_FALSE(WriteWhole(placement, "x\n"));

    placement.ShowWriteFailure();

    DestroyWindow(owner);
    char reason[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0, reason,
                   sizeof reason, nullptr);
    std::string said = reason;
    while (!said.empty() && std::isspace(static_cast<unsigned char>(said.back())))
        said.pop_back();
    ASSERT_FALSE(said.empty());
    ASSERT_EQ(1u, driver.Windows().size()) << driver.Summary();
    const WindowRecord& message = driver.Windows()[0];
    EXPECT_EQ("The payment file could not be written to\n" + path + "\n\nReason: " + said +
                  "\n\nThe file there, if there was one, is unchanged.",
              message.Text);
    EXPECT_EQ(owner, message.Owner);
    EXPECT_NE(nullptr, message.Control(IDOK));
    EXPECT_EQ(nullptr, message.Control(IDCANCEL));
    EXPECT_EQ(1, message.Icons);
}

TEST_F(OutputFileTest, NothingFailedNothingIsSaid)
{
    ModalDriver driver;
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, Wide(root_ + "\\out\\PAY.CSV").c_str());
    ASSERT_TRUE(WriteWhole(placement, "x\n"));

    placement.ShowWriteFailure();

    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
}

TEST_F(OutputFileTest, AFailedOpenForANonElevatedUserLandsInTheVirtualStoreAndYesOpensItsFolder)
{
    PrepareVirtualStore();
    ModalDriver driver;
    driver.On(kNoticeCaption).Press(IDYES);
    OutputPlacement placement(platform_);
    ASSERT_TRUE(PlacementProbe::Choose(placement, Wide(protectedPath_).c_str()));

    PaymentFile file = placement.Open();
    ASSERT_TRUE(file);
    EXPECT_TRUE(IsUnfinishedCopyOf(Wide(virtualStorePath_), PlacementProbe::UnfinishedPath(placement)))
        << PlacementProbe::UnfinishedPath(placement);
    WriteLines(file, "A,B\n");
    ASSERT_TRUE(placement.Commit(file));

    EXPECT_TRUE(PlacementProbe::OpenedInVirtualStore(placement));
    EXPECT_EQ(Wide(virtualStorePath_), PlacementProbe::WrittenPath(placement));
    EXPECT_EQ("A,B\r\n", ReadBytes(virtualStorePath_));
    EXPECT_FALSE(FileExists(protectedPath_));
    EXPECT_EQ(std::vector<std::wstring>{L"pay.csv"},
              FolderEntries(Wide(virtualStorePath_.substr(0, virtualStorePath_.rfind('\\')))));
    EXPECT_EQ(ERROR_SUCCESS, PlacementProbe::Failure(placement));

    EXPECT_TRUE(placement.NotifyRedirect());

    ASSERT_EQ(1u, driver.Windows().size()) << driver.Summary();
    const WindowRecord& notice = driver.Windows()[0];
    EXPECT_EQ(Notice(virtualStorePath_), notice.Text);
    EXPECT_EQ(nullptr, notice.Owner);
    EXPECT_NE(nullptr, notice.Control(IDYES));
    EXPECT_NE(nullptr, notice.Control(IDNO));
    EXPECT_EQ(nullptr, notice.Control(IDCANCEL));
    EXPECT_EQ(0, notice.Icons);
    EXPECT_EQ(std::vector<std::wstring>{Wide(virtualStorePath_.substr(0, virtualStorePath_.rfind('\\')))},
              platform_.Opened);
    // The notice's check leaves the file as it was.
    EXPECT_EQ("A,B\r\n", ReadBytes(virtualStorePath_));
}

TEST_F(OutputFileTest, AChosenFileThatCannotBeReplacedFailsAndNothingGoesElsewhere)
{
    // Last week's file, held by a viewer: the new batch goes nowhere else, not even to the
    // VirtualStore a non-elevated user has.
    PrepareVirtualStore();
    const std::string chosen = root_ + "\\out\\PAY.CSV";
    const std::string redirected = root_ + "\\local\\virtualstore" + chosen.substr(2);
    MakeFolder(redirected.substr(0, redirected.rfind('\\')));
    WriteBytes(chosen, "last week's batch");
    platform_.MoveError = ERROR_SHARING_VIOLATION;
    ModalDriver driver;
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, Wide(chosen).c_str());

    EXPECT_FALSE(WriteWhole(placement, "A,B\n"));

    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), PlacementProbe::Failure(placement));
    EXPECT_EQ(Wide(chosen), PlacementProbe::FailedPath(placement));
    EXPECT_STREQ(L"", PlacementProbe::WrittenPath(placement));
    EXPECT_FALSE(PlacementProbe::OpenedInVirtualStore(placement));
    EXPECT_EQ("last week's batch", ReadBytes(chosen));
    EXPECT_EQ(std::vector<std::wstring>{L"PAY.CSV"}, FolderEntries(Wide(root_ + "\\out")));
    EXPECT_TRUE(FolderEntries(Wide(redirected.substr(0, redirected.rfind('\\')))).empty());
    const size_t moves = std::count_if(platform_.Steps.begin(), platform_.Steps.end(),
                                       [](const std::wstring& step) { return step.compare(0, 5, L"Move ") == 0; });
    EXPECT_EQ(1u, moves);
    EXPECT_FALSE(placement.NotifyRedirect());
    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
}

TEST_F(OutputFileTest, OnlyAFolderThatRefusesToCreateTheFileSendsItToTheVirtualStore)
{
    // A folder that is not there, a name the system refuses: the user hears of the place they chose.
    PrepareVirtualStore();
    const std::string missing = root_ + "\\missing\\pay.csv";
    MakeFolder(root_ + "\\local\\virtualstore" + root_.substr(2) + "\\missing");
    for (const std::string& chosen : {missing, root_ + "\\out\\pay?.csv"}) {
        SCOPED_TRACE(chosen);
        OutputPlacement placement(platform_);
        PlacementProbe::Choose(placement, Wide(chosen).c_str());

        EXPECT_FALSE(placement.Open());

        EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS), PlacementProbe::Failure(placement));
        EXPECT_NE(static_cast<DWORD>(ERROR_ACCESS_DENIED), PlacementProbe::Failure(placement));
        EXPECT_EQ(Wide(chosen), PlacementProbe::FailedPath(placement));
        EXPECT_FALSE(PlacementProbe::OpenedInVirtualStore(placement));
        EXPECT_TRUE(FolderEntries(Wide(root_ + "\\local\\virtualstore" + root_.substr(2) + "\\missing")).empty());
    }
}

TEST_F(OutputFileTest, NoToTheNoticeOpensNothing)
{
    PrepareVirtualStore();
    ModalDriver driver;
    driver.On(kNoticeCaption).Press(IDNO);
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, Wide(protectedPath_).c_str());
    ASSERT_TRUE(WriteWhole(placement, ""));

    EXPECT_TRUE(placement.NotifyRedirect());

    EXPECT_EQ(1u, driver.WithCaption(kNoticeCaption).size()) << driver.Summary();
    EXPECT_TRUE(platform_.Opened.empty());
}

TEST_F(OutputFileTest, AFileTheSystemRedirectedDuringThisRunBringsTheNotice)
{
    // The system's virtualization lets the direct write succeed and puts the file in the VirtualStore.
    PrepareVirtualStore();
    const std::string direct = root_ + "\\out\\PAY.CSV";
    const std::string redirected = root_ + "\\local\\virtualstore" + direct.substr(2);
    MakeFolder(redirected.substr(0, redirected.rfind('\\')));
    ModalDriver driver;
    driver.On(kNoticeCaption).Press(IDNO);
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, Wide(direct).c_str());

    PaymentFile file = placement.Open();
    ASSERT_TRUE(file);
    WriteBytes(redirected, "x\r\n");
    ASSERT_TRUE(placement.Commit(file));

    EXPECT_FALSE(PlacementProbe::OpenedInVirtualStore(placement));
    EXPECT_TRUE(placement.NotifyRedirect());
    ASSERT_EQ(1u, driver.Windows().size()) << driver.Summary();
    EXPECT_EQ(Notice(redirected), driver.Windows()[0].Text);
}

TEST_F(OutputFileTest, AVirtualStoreFileFromAnEarlierRunBringsNoNotice)
{
    const std::string direct = root_ + "\\out\\PAY.CSV";
    const std::string stale = root_ + "\\local\\virtualstore" + direct.substr(2);
    MakeFolder(stale.substr(0, stale.rfind('\\')));
    WriteBytes(stale, "last month\r\n");
    SetWriteTime(stale, -3600);
    // An unfinished copy a dead run left there goes.
    WriteBytes(stale + ".partial-00000000DEADBEEF", "half");
    ModalDriver driver;
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, Wide(direct).c_str());

    ASSERT_TRUE(WriteWhole(placement, ""));

    EXPECT_FALSE(placement.NotifyRedirect());
    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
    EXPECT_EQ("last month\r\n", ReadBytes(stale));
    EXPECT_FALSE(FileExists(stale + ".partial-00000000DEADBEEF"));
}

TEST_F(OutputFileTest, AnElevatedUserNeverUsesTheVirtualStore)
{
    PrepareVirtualStore();
    platform_.Elevated = true;
    ModalDriver driver;
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, Wide(protectedPath_).c_str());

    EXPECT_FALSE(placement.Open());
    EXPECT_TRUE(FolderEntries(Wide(virtualStorePath_.substr(0, virtualStorePath_.rfind('\\')))).empty());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), PlacementProbe::Failure(placement));
    EXPECT_EQ(Wide(protectedPath_), PlacementProbe::FailedPath(placement));

    // Even a file that appeared there just now brings no notice.
    WriteBytes(virtualStorePath_, "x");
    const std::string direct = root_ + "\\out\\PAY.CSV";
    const std::string redirected = root_ + "\\local\\virtualstore" + direct.substr(2);
    MakeFolder(redirected.substr(0, redirected.rfind('\\')));
    PlacementProbe::Choose(placement, Wide(direct).c_str());
    PaymentFile file = placement.Open();
    ASSERT_TRUE(file);
    WriteBytes(redirected, "x");
    ASSERT_TRUE(placement.Commit(file));
    EXPECT_FALSE(placement.NotifyRedirect());
    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
}

TEST_F(OutputFileTest, WhenBothPlacesRefuseThereIsNoFileAndNoNotice)
{
    // No VirtualStore folder was prepared, so the second place refuses too.
    ModalDriver driver;
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, Wide(protectedPath_).c_str());

    PaymentFile file = placement.Open();

    EXPECT_FALSE(file);
    EXPECT_STREQ(L"", PlacementProbe::WrittenPath(placement));
    EXPECT_EQ(Wide(virtualStorePath_), PlacementProbe::VirtualStorePath(placement));
    // The user hears of the place they chose.
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), PlacementProbe::Failure(placement));
    EXPECT_EQ(Wide(protectedPath_), PlacementProbe::FailedPath(placement));
    EXPECT_FALSE(placement.NotifyRedirect());
    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
}

TEST_F(OutputFileTest, ANetworkPathHasNoVirtualStorePath)
{
    ModalDriver driver;
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, L"\\\\server\\share\\pay.csv");
    // Where the dropped first two characters would have led.
    MakeFolder(root_ + "\\local\\virtualstoreerver\\share");

    PaymentFile file = placement.Open();

    EXPECT_FALSE(file);
    EXPECT_STREQ(L"", PlacementProbe::VirtualStorePath(placement));
    EXPECT_TRUE(FolderEntries(Wide(root_ + "\\local\\virtualstoreerver\\share")).empty());
    EXPECT_FALSE(placement.NotifyRedirect());
}

TEST_F(OutputFileTest, AVirtualStorePathLongerThanMaxPathIsNotBuilt)
{
    // The local folder and the chosen path fit MAX_PATH each, but not together.
    platform_.LocalFolder = Wide(root_ + "\\local\\" + std::string(150, 'l'));
    const std::string chosen = "C:\\" + std::string(120, 'p') + "\\pay.csv";
    OutputPlacement placement(platform_);
    ASSERT_TRUE(PlacementProbe::Choose(placement, Wide(chosen).c_str()));

    EXPECT_FALSE(placement.Open());
    EXPECT_STREQ(L"", PlacementProbe::VirtualStorePath(placement));

    // "C:\L" + "\virtualstore" + "\" is 18 characters: MAX_PATH - 1 in all still fits, one more does not.
    platform_.LocalFolder = L"C:\\L";
    ASSERT_TRUE(PlacementProbe::Choose(placement, Wide("C:\\" + std::string(MAX_PATH - 1 - 18, 'f')).c_str()));
    placement.Open();
    EXPECT_EQ(size_t{MAX_PATH - 1}, std::wcslen(PlacementProbe::VirtualStorePath(placement)));
    ASSERT_TRUE(PlacementProbe::Choose(placement, Wide("C:\\" + std::string(MAX_PATH - 18, 'f')).c_str()));
    placement.Open();
    EXPECT_STREQ(L"", PlacementProbe::VirtualStorePath(placement));
}

TEST_F(OutputFileTest, ALongNameGivesItsCopyACutNameThatStillFits)
{
    const std::string folder = root_ + "\\out\\";
    const std::string name(MAX_PATH - 1 - folder.size(), 'n');
    const std::wstring chosen = Wide(folder + name);
    OutputPlacement placement(platform_);
    ASSERT_TRUE(PlacementProbe::Choose(placement, chosen.c_str()));

    PaymentFile file = placement.Open();
    ASSERT_TRUE(file) << PlacementProbe::Failure(placement);
    const std::wstring unfinished = PlacementProbe::UnfinishedPath(placement);
    EXPECT_EQ(size_t{MAX_PATH - 1}, unfinished.size());
    EXPECT_TRUE(IsUnfinishedCopyOf(chosen.substr(0, MAX_PATH - 1 - 25), unfinished)) << unfinished;
    WriteLines(file, "x\n");
    ASSERT_TRUE(placement.Commit(file));
    EXPECT_EQ("x\r\n", ReadBytes(chosen));
    EXPECT_FALSE(FileExists(unfinished));
}

TEST_F(OutputFileTest, ChosenPathsLongerThanMaxPathAreRefused)
{
    OutputPlacement placement(platform_);
    ASSERT_TRUE(PlacementProbe::Choose(placement, L"C:\\a.csv"));

    EXPECT_FALSE(PlacementProbe::Choose(placement, std::wstring(MAX_PATH, L'a').c_str()));
    EXPECT_FALSE(PlacementProbe::Choose(placement, nullptr));
    EXPECT_STREQ(L"C:\\a.csv", PlacementProbe::ChosenPath(placement));
}

TEST_F(OutputFileTest, WithoutALocalApplicationDataFolderThereIsNoSecondPlace)
{
    PrepareVirtualStore();
    platform_.HasLocalFolder = false;
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, Wide(protectedPath_).c_str());

    EXPECT_FALSE(placement.Open());
    EXPECT_STREQ(L"", PlacementProbe::VirtualStorePath(placement));
    EXPECT_FALSE(FileExists(virtualStorePath_));
}

TEST_F(OutputFileTest, TheSystemVirtualStoreIsUnderTheUsersLocalApplicationData)
{
    wchar_t local[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local));
    wchar_t real[MAX_PATH] = {};
    ASSERT_TRUE(PlacementPlatform::System().LocalAppDataFolder(real));
    EXPECT_STREQ(local, real);

    OutputPlacement placement(PlacementPlatform::System());
    PlacementProbe::Choose(placement, L"C:\\Program Files\\Acme\\pay.txt");
    // Under this test the folder does not exist, so neither place takes it and nothing is written.
    EXPECT_FALSE(placement.Open());
    EXPECT_EQ(std::wstring(local) + L"\\virtualstore\\Program Files\\Acme\\pay.txt",
              PlacementProbe::VirtualStorePath(placement));
}

// ---------------------------------------------------------------------------------------------
// Folders in any script.

TEST_F(OutputFileTest, FoldersNamedInPolishAndChineseAreChosenAndWritten)
{
    const std::wstring folders[] = {L"Wyp\u0142aty Zdzis\u0142awa \u017b\u00f3\u0142\u0107",
                                    L"\u4ed8\u6b3e\u6587\u4ef6"};
    for (const std::wstring& name : folders) {
        const std::wstring folder = Wide(root_ + "\\out\\") + name;
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        const std::wstring path = folder + L"\\PAY.CSV";
        WriteBytes(path, "earlier");

        // The user types the path into the save dialog, which gives it back whole.
        ModalDriver driver;
        driver.On(kSaveCaption)
            .Run([&path](HWND dialog, WindowRecord&) {
                SendMessageW(GetDlgItem(dialog, kFileNameBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
            })
            .Press(IDOK);
        driver.OnNext().Press(IDYES);  // replace the earlier file
        OutputPlacement placement(platform_);
        placement.BuildFilter("csv");
        ASSERT_TRUE(placement.ShowSaveDialog("csv", (root_ + "\\out\\PAY.CSV").c_str())) << driver.Summary();
        EXPECT_EQ(path, PlacementProbe::ChosenPath(placement));

        ASSERT_TRUE(WriteWhole(placement, "123456,12345678,J. SMITH,10.50,12,Invoice\n"));

        EXPECT_EQ(path, PlacementProbe::WrittenPath(placement));
        EXPECT_EQ("123456,12345678,J. SMITH,10.50,12,Invoice\r\n", ReadBytes(path));
        EXPECT_EQ(std::vector<std::wstring>{L"PAY.CSV"}, FolderEntries(folder));
    }
}

TEST_F(OutputFileTest, TheVirtualStorePlaceKeepsAFolderNamedInChinese)
{
    const std::wstring name = L"\u4ed8\u6b3e";
    const std::wstring chosen = Wide(root_ + "\\protected\\") + name + L"\\pay.csv";
    const std::wstring redirected = Wide(root_ + "\\local\\virtualstore" + root_.substr(2) + "\\protected\\") + name;
    SHCreateDirectoryExW(nullptr, redirected.c_str(), nullptr);
    ModalDriver driver;
    driver.On(kNoticeCaption).Press(IDYES);
    OutputPlacement placement(platform_);
    PlacementProbe::Choose(placement, chosen.c_str());

    ASSERT_TRUE(WriteWhole(placement, "A\n"));

    EXPECT_EQ(redirected + L"\\pay.csv", PlacementProbe::WrittenPath(placement));
    EXPECT_EQ("A\r\n", ReadBytes(redirected + L"\\pay.csv"));
    EXPECT_TRUE(placement.NotifyRedirect());
    EXPECT_EQ(std::vector<std::wstring>{redirected}, platform_.Opened);
}

}  // namespace
