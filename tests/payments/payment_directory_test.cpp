// The default payment directory: the initial path of the payment file, the "Invalid default path"
// message box (answered through the modal-window driver) and the documents-folder fallback.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "modal/modal_driver.h"
#include "settings/payment_directory.h"

using modal::ModalDriver;
using modal::WindowRecord;

namespace {

const char kCaption[] = "Invalid default path";

std::string Message(const std::string& directory, const std::string& root)
{
    return "The default payment directory (" + directory +
           ") specified does not exist.  Please correct this within configuration for the specified banking "
           "component. The root directory (" +
           root + ") will be used in the mean time.";
}

std::string DocumentsFolder()
{
    char folder[MAX_PATH] = {};
    EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder));
    return folder;
}

long lookups = 0;

long CountedFailingLookup(char* folder)
{
    ++lookups;
    std::strcpy(folder, "garbage");
    return E_FAIL;
}

long CountedLookup(char* folder)
{
    ++lookups;
    std::strcpy(folder, "D:\\Docs");
    return S_OK;
}

// The icon a message box shows, read from its icon control.
HICON MessageBoxIcon(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    }
    return nullptr;
}

class PaymentDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char folder[MAX_PATH];
        GetTempPathA(sizeof folder, folder);
        existing_ = std::string(folder) + "payment directory " + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(existing_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        // The buffer is larger than a path so that writing past its 260 bytes would show.
        std::memset(output_, 'Z', sizeof output_);
    }

    void TearDown() override
    {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it)
            RemoveDirectoryA(it->c_str());
        RemoveDirectoryA(existing_.c_str());
    }

    std::string Resolve(const char* fileName, const char* directory)
    {
        ResolvePaymentFilePath(fileName, directory, output_, lookup_);
        for (size_t i = kPathBufferSize; i < sizeof output_; ++i) {
            if (output_[i] != 'Z') {
                ADD_FAILURE() << "written past the path buffer at " << i;
                break;
            }
        }
        EXPECT_NE(nullptr, std::memchr(output_, '\0', kPathBufferSize)) << "no terminator inside the path buffer";
        return std::string(output_, strnlen(output_, kPathBufferSize));
    }

    // A message box answered with OK, and what it showed.
    struct Shown {
        std::string Path;
        std::vector<WindowRecord> Boxes;
        HICON Icon = nullptr;
    };

    Shown ResolveAnsweringOk(const char* fileName, const char* directory)
    {
        Shown shown;
        ModalDriver driver;
        driver.On(kCaption).Run([&](HWND box, WindowRecord&) { shown.Icon = MessageBoxIcon(box); }).Press(IDOK);
        shown.Path = Resolve(fileName, directory);
        for (const WindowRecord& record : driver.Windows())
            shown.Boxes.push_back(record);
        EXPECT_EQ(0, driver.UnexpectedCount()) << driver.Summary();
        return shown;
    }

    DocumentsFolderLookup lookup_ = ShellDocumentsFolder;
    std::string existing_;
    std::vector<std::string> made_;
    char output_[kPathBufferSize + 64];
};

}  // namespace

TEST(AppendBackslashTest, AddsOneWhenMissingAndNeverOverflows)
{
    char path[8] = "C:\\Pay";
    EXPECT_TRUE(AppendBackslash(path, sizeof path));
    EXPECT_STREQ("C:\\Pay\\", path);
    EXPECT_TRUE(AppendBackslash(path, sizeof path));
    EXPECT_STREQ("C:\\Pay\\", path);

    char empty[4] = "";
    EXPECT_TRUE(AppendBackslash(empty, sizeof empty));
    EXPECT_STREQ("\\", empty);

    char full[8] = "C:\\Paym";  // seven characters: no room left
    EXPECT_FALSE(AppendBackslash(full, sizeof full));
    EXPECT_STREQ("C:\\Paym", full);
}

TEST_F(PaymentDirectoryTest, ExistingDirectoryWithOrWithoutBackslash)
{
    ModalDriver driver;
    EXPECT_EQ(existing_ + "\\pay.csv", Resolve("pay.csv", existing_.c_str()));
    EXPECT_EQ(existing_ + "\\pay.csv", Resolve("pay.csv", (existing_ + "\\").c_str()));
    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
}

TEST_F(PaymentDirectoryTest, FloppyDriveIsTakenOnTrust)
{
    ModalDriver driver;
    EXPECT_EQ("A:\\pay.csv", Resolve("pay.csv", "A:"));
    EXPECT_EQ("A:\\pay.csv", Resolve("pay.csv", "A:\\"));
    EXPECT_EQ("a:\\pay.csv", Resolve("pay.csv", "a:"));
    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
}

TEST_F(PaymentDirectoryTest, MissingDirectoryIsReportedAndTheDocumentsFolderUsed)
{
    // The box is owned by the active window.
    HWND owner = CreateWindowExA(0, "Static", "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    SetActiveWindow(owner);
    const HWND active = GetActiveWindow();
    ASSERT_EQ(owner, active);

    const std::string missing = existing_ + "\\no such folder";
    const Shown shown = ResolveAnsweringOk("pay.csv", missing.c_str());
    DestroyWindow(owner);

    const std::string documents = DocumentsFolder();
    EXPECT_EQ(documents + "\\pay.csv", shown.Path);
    ASSERT_EQ(1u, shown.Boxes.size());
    const WindowRecord& box = shown.Boxes[0];
    EXPECT_EQ(kCaption, box.Caption);
    EXPECT_EQ(Message(missing, documents), box.Text);
    EXPECT_EQ(active, box.Owner);
    // The error icon and a single OK button.
    EXPECT_NE(nullptr, shown.Icon);
    EXPECT_EQ(LoadIcon(nullptr, IDI_ERROR), shown.Icon);
    EXPECT_NE(LoadIcon(nullptr, IDI_WARNING), shown.Icon);
    EXPECT_NE(LoadIcon(nullptr, IDI_INFORMATION), shown.Icon);
    int buttons = 0;
    for (const auto& control : box.Controls)
        buttons += control.Class == "Button" && control.Visible;
    EXPECT_EQ(1, buttons);
    EXPECT_NE(nullptr, box.Control(IDOK));
    EXPECT_TRUE(box.Closed);
}

TEST_F(PaymentDirectoryTest, WithoutADocumentsFolderTheRootIsDriveC)
{
    lookups = 0;
    lookup_ = CountedFailingLookup;
    const Shown shown = ResolveAnsweringOk("pay.csv", "Q:\\Payments");
    EXPECT_EQ("C:\\pay.csv", shown.Path);
    ASSERT_EQ(1u, shown.Boxes.size());
    EXPECT_EQ(Message("Q:\\Payments", "C:\\"), shown.Boxes[0].Text);
    EXPECT_STREQ("C:\\", GetRootDirectory(CountedFailingLookup));
    EXPECT_EQ(2, lookups);
}

// Nothing is kept between calls: each asks for the folder into a buffer of its own.
TEST_F(PaymentDirectoryTest, RootDirectoryIsAskedForByEachCall)
{
    lookups = 0;
    lookup_ = CountedLookup;
    EXPECT_STREQ("D:\\Docs", GetRootDirectory(CountedLookup));
    const Shown shown = ResolveAnsweringOk("pay.csv", "Q:\\Payments");
    EXPECT_EQ("D:\\Docs\\pay.csv", shown.Path);
    EXPECT_EQ(2, lookups);

    // A failing lookup after a good one is not hidden by what the good one found.
    EXPECT_STREQ("C:\\", GetRootDirectory(CountedFailingLookup));
    EXPECT_EQ(DocumentsFolder(), std::string(GetRootDirectory()));
}

TEST_F(PaymentDirectoryTest, EmptyDirectorySearchesTheRootOfTheCurrentDrive)
{
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    ASSERT_TRUE(SetCurrentDirectoryA(existing_.c_str()));
    ModalDriver driver;
    const std::string path = Resolve("pay.csv", "");
    SetCurrentDirectoryA(saved);
    EXPECT_EQ("\\pay.csv", path);
    EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
}

TEST_F(PaymentDirectoryTest, OverlongDirectoryIsReportedInFull)
{
    // Far beyond any path: treated as a directory that does not exist, and named whole.
    const std::string overlong = "C:\\" + std::string(600, 'p');
    const Shown shown = ResolveAnsweringOk("pay.csv", overlong.c_str());
    EXPECT_EQ(DocumentsFolder() + "\\pay.csv", shown.Path);
    ASSERT_EQ(1u, shown.Boxes.size());
    EXPECT_EQ(Message(overlong, DocumentsFolder()), shown.Boxes[0].Text);
}

TEST_F(PaymentDirectoryTest, DirectoryWithoutRoomForTheFileNameIsNotUsed)
{
    // An existing directory of some 240 characters.
    std::string deep = existing_;
    while (deep.size() < 230) {
        deep += "\\" + std::string(std::min<size_t>(40, 238 - deep.size()), 'd');
        ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << deep.size();
        made_.push_back(deep);
    }
    const std::string shortName = std::string(258 - deep.size(), 'f');  // exactly 259 with the backslash
    {
        ModalDriver driver;
        EXPECT_EQ(deep + "\\" + shortName, Resolve(shortName.c_str(), deep.c_str()));
        EXPECT_TRUE(driver.Windows().empty()) << driver.Summary();
    }
    const std::string longName = shortName + "x";
    const Shown shown = ResolveAnsweringOk(longName.c_str(), deep.c_str());
    EXPECT_EQ(DocumentsFolder() + "\\" + longName, shown.Path);
    ASSERT_EQ(1u, shown.Boxes.size());
    EXPECT_EQ(Message(deep, DocumentsFolder()), shown.Boxes[0].Text);
}

TEST_F(PaymentDirectoryTest, FileNameTooLongEvenForTheRootIsCut)
{
    // No directory leaves room for it: the user is told, and the name is cut to fit the root.
    const std::string name(400, 'n');
    const std::string documents = DocumentsFolder();
    Shown shown = ResolveAnsweringOk(name.c_str(), existing_.c_str());
    EXPECT_EQ(documents + "\\" + std::string(258 - documents.size(), 'n'), shown.Path);
    EXPECT_EQ(1u, shown.Boxes.size());

    lookup_ = CountedFailingLookup;
    shown = ResolveAnsweringOk(name.c_str(), "Q:\\Payments");
    EXPECT_EQ("C:\\" + std::string(256, 'n'), shown.Path);
}
