// Output file placement: the save dialog's file types, the save dialog driven through its controls,
// the direct and the VirtualStore open, and the redirect notice with its answers.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "tests/support/files.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "payments/output_file.h"
#include "modal/modal_driver.h"

using modal::ModalDriver;
using modal::WindowRecord;

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

// The registry, the shell folder and the shell, replaced: the test decides who is elevated and
// where the local application data lives, and sees what would have been opened.
class FakePlatform : public PlacementPlatform {
public:
    bool IsElevated() override { return Elevated; }
    bool LocalAppDataFolder(char (&folder)[MAX_PATH]) override
    {
        if (!HasLocalFolder || LocalFolder.size() >= MAX_PATH)
            return false;
        std::memset(folder, 0, MAX_PATH);
        std::memcpy(folder, LocalFolder.c_str(), LocalFolder.size());
        return true;
    }
    void OpenFolder(const char* folder) override { Opened.push_back(folder); }

    bool Elevated = false;
    bool HasLocalFolder = true;
    std::string LocalFolder;
    std::vector<std::string> Opened;
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
        platform_.LocalFolder = root_ + "\\local";
        // A folder the user cannot write to: here, one that does not exist.
        protectedPath_ = root_ + "\\protected\\Acme\\pay.csv";
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

// A literal's bytes with its embedded zero bytes, without the terminator the compiler adds.
template <size_t N>
std::string Bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

std::string FilterBytes(const OutputPlacement& placement)
{
    // Up to and including the two zero bytes that end the list.
    const char* filter = placement.Filter();
    size_t length = 0;
    while (filter[length] || filter[length + 1])
        ++length;
    return std::string(filter, length + 2);
}

// ---------------------------------------------------------------------------------------------
// The list of file types.

TEST_F(OutputFileTest, FilterListOffersPaymentFilesForTheExtensionThenAllFiles)
{
    OutputPlacement placement(platform_);

    placement.BuildFilter("csv");
    EXPECT_EQ(Bytes("Payment Files (*.csv)\0*.csv\0All Files (*.*)\0*.*\0\0"), FilterBytes(placement));

    placement.BuildFilter("");
    EXPECT_EQ(Bytes("All Files (*.*)\0*.*\0\0"), FilterBytes(placement));

    placement.BuildFilter(nullptr);
    EXPECT_EQ(Bytes("All Files (*.*)\0*.*\0\0"), FilterBytes(placement));
}

TEST_F(OutputFileTest, AnExtensionTooLongForTheListFallsBackToAllFiles)
{
    OutputPlacement placement(platform_);
    const std::string huge(700, 'x');

    placement.BuildFilter(huge.c_str());

    EXPECT_EQ(Bytes("All Files (*.*)\0*.*\0\0"), FilterBytes(placement));
    // Nothing of the long text is left behind in the list.
    const char* filter = placement.Filter();
    for (size_t i = 21; i < OutputPlacement::FilterSize; ++i)
        ASSERT_EQ('\0', filter[i]) << "byte " << i;
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
    EXPECT_EQ(initial, placement.ChosenPath());
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

    EXPECT_EQ(root_ + "\\out\\june.txt", placement.ChosenPath());
    EXPECT_TRUE(driver.Windows()[0].Problems.empty()) << driver.Summary();
}

TEST_F(OutputFileTest, CancellingTheSaveDialogChoosesNothing)
{
    ModalDriver driver;
    driver.On(kSaveCaption).Press(IDCANCEL);
    OutputPlacement placement(platform_);
    placement.Choose("C:\\earlier.csv");

    EXPECT_FALSE(placement.ShowSaveDialog("csv", (root_ + "\\out\\PAYMENTS.CSV").c_str()));

    EXPECT_STREQ("", placement.ChosenPath());
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

    EXPECT_EQ(existing, placement.ChosenPath());
    ASSERT_EQ(3u, driver.Windows().size()) << driver.Summary();
    EXPECT_EQ(driver.Windows()[0].Window, driver.Windows()[1].Owner);
    EXPECT_NE(std::string::npos, driver.Windows()[1].Text.find("exists")) << driver.Windows()[1].Text;
    EXPECT_EQ(0, driver.UnexpectedCount()) << driver.Summary();
    EXPECT_EQ("old", ReadBytes(existing));  // the dialog itself writes nothing
}

// ---------------------------------------------------------------------------------------------
// Opening and the redirect notice.

TEST_F(OutputFileTest, AWritableFolderIsWrittenDirectlyWithoutNotice)
{
    ModalDriver driver;
    OutputPlacement placement(platform_);
    const std::string path = root_ + "\\out\\PAY.CSV";
    WriteBytes(path, "an older, longer file");
    ASSERT_TRUE(placement.Choose(path.c_str()));

    PaymentFile file = placement.Open();
    ASSERT_TRUE(file);
    std::fputs("1,2,3\n", file.Get());
    EXPECT_TRUE(file.Close());

    EXPECT_EQ(path, placement.WrittenPath());
    EXPECT_FALSE(placement.OpenedInVirtualStore());
    EXPECT_EQ(root_ + "\\local\\virtualstore" + path.substr(2), placement.VirtualStorePath());
    EXPECT_EQ("1,2,3\r\n", ReadBytes(path));  // created or emptied, text mode
    EXPECT_FALSE(placement.NotifyRedirect());
    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
    EXPECT_FALSE(FileExists(placement.VirtualStorePath()));
}

TEST_F(OutputFileTest, AFailedOpenForANonElevatedUserLandsInTheVirtualStoreAndYesOpensItsFolder)
{
    PrepareVirtualStore();
    ModalDriver driver;
    driver.On(kNoticeCaption).Press(IDYES);
    OutputPlacement placement(platform_);
    ASSERT_TRUE(placement.Choose(protectedPath_.c_str()));

    PaymentFile file = placement.Open();
    ASSERT_TRUE(file);
    std::fputs("A,B\n", file.Get());
    file.Close();

    EXPECT_TRUE(placement.OpenedInVirtualStore());
    EXPECT_EQ(virtualStorePath_, placement.WrittenPath());
    EXPECT_EQ("A,B\r\n", ReadBytes(virtualStorePath_));
    EXPECT_FALSE(FileExists(protectedPath_));

    EXPECT_TRUE(placement.NotifyRedirect());

    ASSERT_EQ(1u, driver.Windows().size()) << driver.Summary();
    const WindowRecord& notice = driver.Windows()[0];
    EXPECT_EQ(Notice(virtualStorePath_), notice.Text);
    EXPECT_EQ(nullptr, notice.Owner);
    EXPECT_NE(nullptr, notice.Control(IDYES));
    EXPECT_NE(nullptr, notice.Control(IDNO));
    EXPECT_EQ(nullptr, notice.Control(IDCANCEL));
    EXPECT_EQ(0, notice.Icons);
    EXPECT_EQ(std::vector<std::string>{virtualStorePath_.substr(0, virtualStorePath_.rfind('\\'))}, platform_.Opened);
    // The notice's check leaves the file as it was.
    EXPECT_EQ("A,B\r\n", ReadBytes(virtualStorePath_));
}

TEST_F(OutputFileTest, NoToTheNoticeOpensNothing)
{
    PrepareVirtualStore();
    ModalDriver driver;
    driver.On(kNoticeCaption).Press(IDNO);
    OutputPlacement placement(platform_);
    placement.Choose(protectedPath_.c_str());
    placement.Open().Close();

    EXPECT_TRUE(placement.NotifyRedirect());

    EXPECT_EQ(1u, driver.WithCaption(kNoticeCaption).size()) << driver.Summary();
    EXPECT_TRUE(platform_.Opened.empty());
}

TEST_F(OutputFileTest, AFileTheSystemRedirectedDuringThisRunBringsTheNotice)
{
    // The system's virtualization lets the direct open succeed and puts the file in the VirtualStore.
    PrepareVirtualStore();
    const std::string direct = root_ + "\\out\\PAY.CSV";
    const std::string redirected = root_ + "\\local\\virtualstore" + direct.substr(2);
    MakeFolder(redirected.substr(0, redirected.rfind('\\')));
    ModalDriver driver;
    driver.On(kNoticeCaption).Press(IDNO);
    OutputPlacement placement(platform_);
    placement.Choose(direct.c_str());

    PaymentFile file = placement.Open();
    ASSERT_TRUE(file);
    WriteBytes(redirected, "x\r\n");
    file.Close();

    EXPECT_FALSE(placement.OpenedInVirtualStore());
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
    ModalDriver driver;
    OutputPlacement placement(platform_);
    placement.Choose(direct.c_str());

    PaymentFile file = placement.Open();
    ASSERT_TRUE(file);
    file.Close();

    EXPECT_FALSE(placement.NotifyRedirect());
    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
    EXPECT_EQ("last month\r\n", ReadBytes(stale));
}

TEST_F(OutputFileTest, AnElevatedUserNeverUsesTheVirtualStore)
{
    PrepareVirtualStore();
    platform_.Elevated = true;
    ModalDriver driver;
    OutputPlacement placement(platform_);
    placement.Choose(protectedPath_.c_str());

    EXPECT_FALSE(placement.Open());
    EXPECT_FALSE(FileExists(virtualStorePath_));

    // Even a file that appeared there just now brings no notice.
    WriteBytes(virtualStorePath_, "x");
    const std::string direct = root_ + "\\out\\PAY.CSV";
    const std::string redirected = root_ + "\\local\\virtualstore" + direct.substr(2);
    MakeFolder(redirected.substr(0, redirected.rfind('\\')));
    placement.Choose(direct.c_str());
    PaymentFile file = placement.Open();
    ASSERT_TRUE(file);
    WriteBytes(redirected, "x");
    file.Close();
    EXPECT_FALSE(placement.NotifyRedirect());
    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
}

TEST_F(OutputFileTest, WhenBothOpensFailThereIsNoFileAndNoNotice)
{
    // No VirtualStore folder was prepared, so the second open fails too.
    ModalDriver driver;
    OutputPlacement placement(platform_);
    placement.Choose(protectedPath_.c_str());

    PaymentFile file = placement.Open();

    EXPECT_FALSE(file);
    EXPECT_STREQ("", placement.WrittenPath());
    EXPECT_EQ(virtualStorePath_, placement.VirtualStorePath());
    EXPECT_FALSE(placement.NotifyRedirect());
    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
}

TEST_F(OutputFileTest, ANetworkPathHasNoVirtualStorePath)
{
    ModalDriver driver;
    OutputPlacement placement(platform_);
    placement.Choose("\\\\server\\share\\pay.csv");
    // Where the dropped first two characters would have led.
    MakeFolder(root_ + "\\local\\virtualstoreerver\\share");

    PaymentFile file = placement.Open();

    EXPECT_FALSE(file);
    EXPECT_STREQ("", placement.VirtualStorePath());
    EXPECT_FALSE(FileExists(root_ + "\\local\\virtualstoreerver\\share\\pay.csv"));
    EXPECT_FALSE(placement.NotifyRedirect());
}

TEST_F(OutputFileTest, AVirtualStorePathLongerThanMaxPathIsNotBuilt)
{
    // The local folder and the chosen path fit MAX_PATH each, but not together.
    platform_.LocalFolder = root_ + "\\local\\" + std::string(150, 'l');
    const std::string chosen = "C:\\" + std::string(120, 'p') + "\\pay.csv";
    OutputPlacement placement(platform_);
    ASSERT_TRUE(placement.Choose(chosen.c_str()));

    EXPECT_FALSE(placement.Open());
    EXPECT_STREQ("", placement.VirtualStorePath());

    // "C:\L" + "\virtualstore" + "\" is 18 characters: MAX_PATH - 1 in all still fits, one more does not.
    platform_.LocalFolder = "C:\\L";
    ASSERT_TRUE(placement.Choose(("C:\\" + std::string(MAX_PATH - 1 - 18, 'f')).c_str()));
    placement.Open();
    EXPECT_EQ(size_t{MAX_PATH - 1}, std::strlen(placement.VirtualStorePath()));
    ASSERT_TRUE(placement.Choose(("C:\\" + std::string(MAX_PATH - 18, 'f')).c_str()));
    placement.Open();
    EXPECT_STREQ("", placement.VirtualStorePath());
}

TEST_F(OutputFileTest, ChosenPathsLongerThanMaxPathAreRefused)
{
    OutputPlacement placement(platform_);
    ASSERT_TRUE(placement.Choose("C:\\a.csv"));

    EXPECT_FALSE(placement.Choose(std::string(MAX_PATH, 'a').c_str()));
    EXPECT_FALSE(placement.Choose(nullptr));
    EXPECT_STREQ("C:\\a.csv", placement.ChosenPath());
}

TEST_F(OutputFileTest, WithoutALocalApplicationDataFolderThereIsNoSecondOpen)
{
    PrepareVirtualStore();
    platform_.HasLocalFolder = false;
    OutputPlacement placement(platform_);
    placement.Choose(protectedPath_.c_str());

    EXPECT_FALSE(placement.Open());
    EXPECT_STREQ("", placement.VirtualStorePath());
    EXPECT_FALSE(FileExists(virtualStorePath_));
}

TEST_F(OutputFileTest, AReplacedPlatformServesPlacementsMadeWithoutOne)
{
    PrepareVirtualStore();
    PlacementPlatform* previous = PlacementPlatform::Replace(&platform_);
    ModalDriver driver;
    driver.On(kNoticeCaption).Press(IDYES);
    {
        OutputPlacement placement;
        placement.Choose(protectedPath_.c_str());
        placement.Open().Close();
        EXPECT_TRUE(placement.NotifyRedirect());
    }
    PlacementPlatform::Replace(previous);

    EXPECT_EQ(nullptr, previous);
    EXPECT_EQ(&PlacementPlatform::System(), &PlacementPlatform::Current());
    EXPECT_EQ(1u, platform_.Opened.size());
}

TEST_F(OutputFileTest, TheSystemVirtualStoreIsUnderTheUsersLocalApplicationData)
{
    char local[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local));
    char real[MAX_PATH] = {};
    ASSERT_TRUE(PlacementPlatform::System().LocalAppDataFolder(real));
    EXPECT_STREQ(local, real);

    OutputPlacement placement;  // the system's services
    placement.Choose("C:\\Program Files\\Acme\\pay.txt");
    // Under this test the folder does not exist, so neither open succeeds and nothing is written.
    EXPECT_FALSE(placement.Open());
    EXPECT_EQ(std::string(local) + "\\virtualstore\\Program Files\\Acme\\pay.txt", placement.VirtualStorePath());
}

}  // namespace
