// The payment options dialog, driven through real window messages: its template, the layout choice
// remembered per account, the date picker, the remittance box, OK, Cancel and the question on Cancel.
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "tests/support/failing_allocator.h"
#include "tests/support/files.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "payments/payment_resources.h"
#include "payments/options_dialog.h"
#include "core/method_frame.h"
#include "modal/modal_driver.h"
#include "settings/settings_store.h"
#include "support/platform.h"

using modal::ModalDriver;
using modal::WindowRecord;

namespace {

const char kCaption[] = "Brenmark Ledgerway/Lintrove Payment Processing";
const char kQuestion[] = "Changes have been made";
const char kAccount[] = "401122_87654321";
const char kOtherAccount[] = "200000_12345678";

DATE MakeDate(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0)
{
    SYSTEMTIME time{year, month, 0, day, hour, minute, 0, 0};
    DATE date = 0;
    SystemTimeToVariantTime(&time, &date);
    return date;
}

std::string TodayText()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[16];
    std::snprintf(text, sizeof text, "%02u/%02u/%04u", now.wDay, now.wMonth, now.wYear);
    return text;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

DATE Now()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    DATE date = 0;
    SystemTimeToVariantTime(&now, &date);
    return date;
}

// What the caller sees after the dialog closed.
struct Outcome {
    INT_PTR Result = 0;
    DATE DebitDate = 0;
    int RemittanceAdviceRequired = 0;
    int UseLedgerwayLayout = 0;
    int ChangesMade = 0;
};

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        root_ = std::string(temp) + "brenmark-options-" + std::to_string(GetCurrentProcessId()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(root_.c_str(), nullptr);
        file_ = root_ + "\\TOLVAR\\Tolvar EBanking\\BANKSERV.INI";
        where_ = SettingsLocation(root_);
        owner_ = CreateWindowExA(0, "Static", "Owner", WS_POPUP | WS_VISIBLE, 100, 80, 600, 500, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(nullptr, owner_);
    }

    void TearDown() override
    {
        DestroyWindow(owner_);
        DeleteFileA(file_.c_str());
        RemoveDirectoryA((root_ + "\\TOLVAR\\Tolvar EBanking").c_str());
        RemoveDirectoryA((root_ + "\\TOLVAR").c_str());
        RemoveDirectoryA(root_.c_str());
    }

    Outcome Show(const char* suffix, DATE date = MakeDate(2024, 1, 15, 9, 30), int remittance = 0, int ledgerway = 1)
    {
        CLintroveInfoDialog dialog(date, remittance, suffix, ledgerway, where_);
        Outcome outcome;
        outcome.Result = dialog.DoModal(owner_);
        outcome.DebitDate = dialog.DebitDate();
        outcome.RemittanceAdviceRequired = dialog.RemittanceAdviceRequired();
        outcome.UseLedgerwayLayout = dialog.UseLedgerwayLayout();
        outcome.ChangesMade = dialog.ChangesMade();
        return outcome;
    }

    void Store(const std::string& key, const char* value) { ASSERT_TRUE(WriteSetting(where_, key.c_str(), value)); }

    std::string root_, file_;
    SettingsLocation where_;
    HWND owner_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// The template as compiled into the resources.

struct TemplateItem {
    int Id;
    std::string Class;  // a predefined class by name ("Button", "Static") or the class text
    std::string Text;
    DWORD Style;
    short X, Y, Cx, Cy;
};

class TemplateReader {
public:
    explicit TemplateReader(const unsigned char* data) : data_(data) {}
    DWORD Dword() { return Take<DWORD>(); }
    WORD Word() { return Take<WORD>(); }
    short Short() { return Take<short>(); }
    // A name or an ordinal: 0xFFFF and the ordinal, or a terminated UTF-16 text.
    std::string NameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0xFFFF) {
            const WORD ordinal = Word();
            switch (ordinal) {
            case 0x80:
                return "Button";
            case 0x81:
                return "Edit";
            case 0x82:
                return "Static";
            default:
                return "#" + std::to_string(ordinal);
            }
        }
        std::string text;
        for (; first; first = Word())
            text += static_cast<char>(first);
        return text;
    }
    void Align()
    {
        while (offset_ % 4)
            ++offset_;
    }

private:
    template <class T>
    T Take()
    {
        T value;
        std::memcpy(&value, data_ + offset_, sizeof value);
        offset_ += sizeof value;
        return value;
    }
    const unsigned char* data_;
    size_t offset_ = 0;
};

TEST_F(OptionsDialogTest, TemplateHoldsEveryControlWithItsTextIdStyleAndPlace)
{
    const auto instance = static_cast<HINSTANCE>(platform::ResourceModule());
    const HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(IDD_PAYMENT_OPTIONS), MAKEINTRESOURCEA(5));
    ASSERT_NE(nullptr, resource);
    TemplateReader reader(static_cast<const unsigned char*>(LockResource(LoadResource(instance, resource))));

    const DWORD style = reader.Dword();
    EXPECT_EQ(static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT), style);
    EXPECT_EQ(0u, reader.Dword());  // extended style
    const WORD count = reader.Word();
    const short x = reader.Short(), y = reader.Short(), cx = reader.Short(), cy = reader.Short();
    EXPECT_EQ(0, x);
    EXPECT_EQ(0, y);
    EXPECT_EQ(273, cx);
    EXPECT_EQ(154, cy);
    EXPECT_EQ("", reader.NameOrOrdinal());  // menu
    EXPECT_EQ("", reader.NameOrOrdinal());  // class
    EXPECT_EQ(kCaption, reader.NameOrOrdinal());
    EXPECT_EQ(8, reader.Word());
    EXPECT_EQ("MS Sans Serif", reader.NameOrOrdinal());

    const DWORD child = WS_CHILD | WS_VISIBLE;
    const std::vector<TemplateItem> expected{
        {-1, "Button", "Payment Output Format", child | BS_GROUPBOX | WS_GROUP, 6, 3, 261, 77},
        {224, "Button", "Ledgerway Payment Options", child | BS_GROUPBOX | WS_GROUP, 6, 85, 262, 44},
        {203, "Static",
         "Select your chosen method for generating payments appropriate to the Brenmark Ledgerway software you "
         "are using. \nYour choice of payment method will then be selected by default the next time you use this "
         "payment service.",
         child | SS_LEFT | WS_GROUP, 13, 20, 247, 36},
        {201, "Button", "Brenmark &Ledgerway", child | BS_AUTORADIOBUTTON | WS_TABSTOP, 45, 59, 81, 10},
        {202, "Button", "Brenmark &Lintrove", child | BS_AUTORADIOBUTTON | WS_TABSTOP, 161, 59, 75, 10},
        {220, "Static", "Debit Date for Payments:", child | SS_LEFT | WS_GROUP, 10, 106, 80, 10},
        {221, "SysDateTimePick32", "DateTimePicker1", child | DTS_RIGHTALIGN | WS_TABSTOP, 92, 105, 70, 12},
        {223, "Button", "Ledgerway Remittance\nAdvice Required ?",
         child | BS_AUTOCHECKBOX | BS_LEFTTEXT | BS_MULTILINE | WS_GROUP | WS_TABSTOP, 173, 99, 86, 24},
        {IDOK, "Button", "&OK", child | BS_PUSHBUTTON | WS_TABSTOP, 70, 135, 56, 14},
        {IDCANCEL, "Button", "&Cancel", child | BS_PUSHBUTTON | WS_TABSTOP, 144, 135, 56, 14},
    };
    ASSERT_EQ(expected.size(), count);
    for (const TemplateItem& item : expected) {
        reader.Align();
        SCOPED_TRACE("control " + std::to_string(item.Id));
        EXPECT_EQ(item.Style, reader.Dword());
        EXPECT_EQ(0u, reader.Dword());
        EXPECT_EQ(item.X, reader.Short());
        EXPECT_EQ(item.Y, reader.Short());
        EXPECT_EQ(item.Cx, reader.Short());
        EXPECT_EQ(item.Cy, reader.Short());
        EXPECT_EQ(static_cast<WORD>(item.Id), reader.Word());
        // Class names are case-insensitive; the resource compiler may give a name or an ordinal.
        EXPECT_EQ(Upper(item.Class), Upper(reader.NameOrOrdinal()));
        EXPECT_EQ(item.Text, reader.NameOrOrdinal());
        EXPECT_EQ(0, reader.Word());  // no creation data
    }
}

TEST_F(OptionsDialogTest, TheShownDialogHasTheTemplatesControlsAndIsCentredOnItsOwner)
{
    ModalDriver driver;
    driver.On(kCaption).Press(IDCANCEL);

    EXPECT_EQ(IDCANCEL, Show(kAccount).Result);

    ASSERT_EQ(1u, driver.Windows().size()) << driver.Summary();
    const WindowRecord& record = driver.Windows()[0];
    EXPECT_EQ(owner_, record.Owner);
    EXPECT_EQ(static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU),
              record.Style & (DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CHILD));
    ASSERT_EQ(10u, record.Controls.size());
    EXPECT_EQ("Brenmark &Ledgerway", record.Control(IDC_LEDGERWAY_LAYOUT)->Text);
    EXPECT_EQ("Brenmark &Lintrove", record.Control(IDC_LINTROVE_LAYOUT)->Text);
    EXPECT_EQ("Debit Date for Payments:", record.Control(IDC_DEBIT_DATE_LABEL)->Text);
    EXPECT_EQ("Ledgerway Remittance\nAdvice Required ?", record.Control(IDC_REMITTANCE_ADVICE)->Text);
    EXPECT_EQ("Ledgerway Payment Options", record.Control(IDC_LEDGERWAY_OPTIONS)->Text);
    EXPECT_EQ("SysDateTimePick32", record.Control(IDC_DEBIT_DATE)->Class);
    EXPECT_EQ("&OK", record.Control(IDOK)->Text);
    EXPECT_EQ("&Cancel", record.Control(IDCANCEL)->Text);
    EXPECT_FALSE(record.Control(IDOK)->Style & BS_DEFPUSHBUTTON);

    // Centred on the owner (100, 80)-(700, 580) in integer arithmetic.
    const int width = record.Rect.right - record.Rect.left;
    const int height = record.Rect.bottom - record.Rect.top;
    EXPECT_EQ(400 - width / 2, record.Rect.left);
    EXPECT_EQ(330 - height / 2, record.Rect.top);
}

// ---------------------------------------------------------------------------------------------
// Opening: the stored choice, the controls' state, the date.

TEST_F(OptionsDialogTest, FirstUseSelectsLedgerwayWithTodayAndTheOptionsEnabled)
{
    ModalDriver driver;
    driver.On(kCaption)
        .Read(IDC_LEDGERWAY_LAYOUT, "ledgerway")
        .Read(IDC_LINTROVE_LAYOUT, "lintrove")
        .Read(IDC_DEBIT_DATE, "date")
        .Read(IDC_REMITTANCE_ADVICE, "remittance")
        .Press(IDOK);
    const DATE now = Now();

    const Outcome outcome = Show(kAccount, now);

    ASSERT_EQ(1u, driver.Windows().size()) << driver.Summary();
    const WindowRecord& record = driver.Windows()[0];
    EXPECT_TRUE(record.Read("ledgerway")->Checked);
    EXPECT_FALSE(record.Read("lintrove")->Checked);
    EXPECT_EQ(TodayText(), record.Read("date")->Text);
    EXPECT_TRUE(record.Read("date")->Enabled);
    EXPECT_FALSE(record.Read("remittance")->Checked);
    EXPECT_TRUE(record.Read("remittance")->Enabled);

    EXPECT_EQ(IDOK, outcome.Result);
    EXPECT_EQ(1, outcome.UseLedgerwayLayout);
    EXPECT_EQ(0, outcome.RemittanceAdviceRequired);
    EXPECT_EQ(now, outcome.DebitDate);
    EXPECT_EQ(0, outcome.ChangesMade);
    // OK stores the choice even when nothing was changed.
    EXPECT_EQ("[MIGRATED]\r\nBMBUseLWFmt401122_87654321=TRUE\r\n", ReadBytes(file_));
}

TEST_F(OptionsDialogTest, AStoredFalsePreselectsLintroveWithTheOptionsDisabled)
{
    Store(std::string("BMBUseLWFmt") + kAccount, "FALSE");
    const std::string before = ReadBytes(file_);
    ModalDriver driver;
    driver.On(kCaption)
        .Read(IDC_LEDGERWAY_LAYOUT, "ledgerway")
        .Read(IDC_LINTROVE_LAYOUT, "lintrove")
        .Read(IDC_DEBIT_DATE, "date")
        .Read(IDC_REMITTANCE_ADVICE, "remittance")
        .Press(IDCANCEL);

    const Outcome outcome = Show(kAccount, MakeDate(2023, 12, 25, 10, 30), 1, 1);

    const WindowRecord& record = driver.Windows().at(0);
    EXPECT_FALSE(record.Read("ledgerway")->Checked);
    EXPECT_TRUE(record.Read("lintrove")->Checked);
    EXPECT_FALSE(record.Read("date")->Enabled);
    EXPECT_FALSE(record.Read("remittance")->Enabled);
    // Disabled controls still show their values.
    EXPECT_EQ("25/12/2023", record.Read("date")->Text);
    EXPECT_TRUE(record.Read("remittance")->Checked);

    EXPECT_EQ(IDCANCEL, outcome.Result);
    EXPECT_EQ(0, outcome.UseLedgerwayLayout);
    EXPECT_EQ(0, outcome.ChangesMade);
    EXPECT_EQ(0, driver.UnexpectedCount());
    EXPECT_EQ(before, ReadBytes(file_));
}

TEST_F(OptionsDialogTest, AnEmptySuffixUsesTheBareKey)
{
    Store("BMBUseLWFmt", "no");
    ModalDriver driver;
    driver.On(kCaption).Read(IDC_LINTROVE_LAYOUT, "lintrove").Press(IDOK);

    CLintroveInfoDialog dialog(Now(), 0, "", 1, where_);
    EXPECT_STREQ("BMBUseLWFmt", dialog.SettingsKey());
    EXPECT_EQ(IDOK, dialog.DoModal(owner_));

    EXPECT_TRUE(driver.Windows().at(0).Read("lintrove")->Checked);
    EXPECT_EQ("[MIGRATED]\r\nBMBUseLWFmt=FALSE\r\n", ReadBytes(file_));
}

// ---------------------------------------------------------------------------------------------
// Changes, OK and Cancel.

TEST_F(OptionsDialogTest, ChoosingLintroveAndOkIsStoredAndPreselectedNextTime)
{
    ModalDriver driver;
    driver.On(kCaption)
        .Click(IDC_LINTROVE_LAYOUT)
        .Read(IDC_DEBIT_DATE, "date")
        .Read(IDC_REMITTANCE_ADVICE, "remittance")
        .Press(IDOK);
    driver.On(kCaption).Read(IDC_LINTROVE_LAYOUT, "lintrove").Press(IDCANCEL);

    const Outcome first = Show(kAccount);
    const std::string stored = ReadBytes(file_);
    const Outcome second = Show(kAccount);

    EXPECT_EQ(IDOK, first.Result);
    EXPECT_EQ(0, first.UseLedgerwayLayout);
    EXPECT_EQ(1, first.ChangesMade);
    EXPECT_FALSE(driver.Windows().at(0).Read("date")->Enabled);
    EXPECT_FALSE(driver.Windows().at(0).Read("remittance")->Enabled);
    EXPECT_EQ("[MIGRATED]\r\nBMBUseLWFmt401122_87654321=FALSE\r\n", stored);

    EXPECT_TRUE(driver.Windows().at(1).Read("lintrove")->Checked);
    EXPECT_EQ(IDCANCEL, second.Result);
    EXPECT_EQ(0, second.UseLedgerwayLayout);
    EXPECT_EQ(stored, ReadBytes(file_));
    EXPECT_EQ(0, driver.UnexpectedCount()) << driver.Summary();
}

TEST_F(OptionsDialogTest, CancelStraightAwayClosesWithoutAQuestionAndWritesNothing)
{
    ModalDriver driver;
    driver.On(kCaption).Press(IDCANCEL);

    const Outcome outcome = Show(kAccount);

    EXPECT_EQ(IDCANCEL, outcome.Result);
    EXPECT_EQ(1u, driver.Windows().size()) << driver.Summary();
    EXPECT_EQ(0, driver.UnexpectedCount());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file_.c_str()));
}

TEST_F(OptionsDialogTest, AChangedDateSurvivesNoToTheQuestionAndYesCloses)
{
    ModalDriver driver;
    const SYSTEMTIME march5{2024, 3, 0, 5, 0, 0, 0, 0};
    driver.On(kCaption)
        .SetDate(IDC_DEBIT_DATE, march5)
        .Press(IDCANCEL)
        .Read(IDC_DEBIT_DATE, "after no")
        .Press(IDCANCEL);
    driver.On(kQuestion).Press(IDNO);
    driver.On(kQuestion).Press(IDYES);

    const Outcome outcome = Show(kAccount);

    ASSERT_EQ(3u, driver.Windows().size()) << driver.Summary();
    EXPECT_EQ(0, driver.UnexpectedCount()) << driver.Summary();
    const WindowRecord& dialog = driver.Windows()[0];
    EXPECT_EQ("05/03/2024", dialog.Read("after no")->Text);
    for (const WindowRecord* question : driver.WithCaption(kQuestion)) {
        EXPECT_EQ("Do you wish to ignore these changes?", question->Text);
        EXPECT_EQ(dialog.Window, question->Owner);
        EXPECT_NE(nullptr, question->Control(IDYES));
        EXPECT_NE(nullptr, question->Control(IDNO));
        EXPECT_EQ(nullptr, question->Control(IDCANCEL));
        EXPECT_EQ(nullptr, question->Control(IDOK));
        EXPECT_EQ(1, question->Icons);
    }
    EXPECT_EQ(IDCANCEL, outcome.Result);
    EXPECT_EQ(1, outcome.ChangesMade);
    EXPECT_EQ(MakeDate(2024, 3, 5), outcome.DebitDate);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file_.c_str()));
}

TEST_F(OptionsDialogTest, EscapeAndTheCloseBoxAskTheSameQuestionAfterAChange)
{
    ModalDriver driver;
    driver.On(kCaption).Click(IDC_REMITTANCE_ADVICE).Escape().Close().Press(IDOK);
    driver.On(kQuestion).Press(IDNO);
    driver.On(kQuestion).Press(IDNO);

    const Outcome outcome = Show(kAccount);

    EXPECT_EQ(2u, driver.WithCaption(kQuestion).size()) << driver.Summary();
    EXPECT_EQ(0, driver.UnexpectedCount()) << driver.Summary();
    EXPECT_EQ(IDOK, outcome.Result);
    EXPECT_EQ(1, outcome.RemittanceAdviceRequired);
    EXPECT_EQ(1, outcome.ChangesMade);
}

TEST_F(OptionsDialogTest, EscapeWithoutChangesClosesAtOnce)
{
    ModalDriver driver;
    driver.On(kCaption).Escape();

    EXPECT_EQ(IDCANCEL, Show(kAccount).Result);
    EXPECT_EQ(1u, driver.Windows().size()) << driver.Summary();
}

TEST_F(OptionsDialogTest, ClickingTheSelectedLayoutIsNoChange)
{
    ModalDriver driver;
    driver.On(kCaption).Click(IDC_LEDGERWAY_LAYOUT).Press(IDCANCEL);

    const Outcome outcome = Show(kAccount);

    EXPECT_EQ(IDCANCEL, outcome.Result);
    EXPECT_EQ(0, outcome.ChangesMade);
    EXPECT_TRUE(driver.WithCaption(kQuestion).empty()) << driver.Summary();
}

TEST_F(OptionsDialogTest, SwitchingLayoutsAndBackIsStillAChange)
{
    ModalDriver driver;
    driver.On(kCaption)
        .Click(IDC_LINTROVE_LAYOUT)
        .Click(IDC_LEDGERWAY_LAYOUT)
        .Read(IDC_DEBIT_DATE, "date")
        .Press(IDCANCEL);
    driver.On(kQuestion).Press(IDYES);

    const Outcome outcome = Show(kAccount);

    EXPECT_EQ(IDCANCEL, outcome.Result);
    EXPECT_EQ(1, outcome.ChangesMade);
    EXPECT_EQ(1, outcome.UseLedgerwayLayout);
    EXPECT_TRUE(driver.Windows().at(0).Read("date")->Enabled);
    EXPECT_EQ(0, driver.UnexpectedCount()) << driver.Summary();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file_.c_str()));
}

TEST_F(OptionsDialogTest, TogglingRemittanceTwiceKeepsTheFlagButCountsAsAChange)
{
    ModalDriver driver;
    driver.On(kCaption)
        .Click(IDC_REMITTANCE_ADVICE)
        .Read(IDC_REMITTANCE_ADVICE, "once")
        .Click(IDC_REMITTANCE_ADVICE)
        .Press(IDOK);
    driver.On(kCaption).Click(IDC_REMITTANCE_ADVICE).Press(IDOK);

    const Outcome twice = Show(kAccount, Now(), 0);
    const Outcome once = Show(kAccount, Now(), 1);

    EXPECT_TRUE(driver.Windows().at(0).Read("once")->Checked);
    EXPECT_EQ(0, twice.RemittanceAdviceRequired);
    EXPECT_EQ(1, twice.ChangesMade);
    EXPECT_EQ(0, once.RemittanceAdviceRequired);
    EXPECT_EQ(1, once.ChangesMade);
}

TEST_F(OptionsDialogTest, ValuesOfDisabledOptionsAreKept)
{
    ModalDriver driver;
    driver.On(kCaption)
        .Click(IDC_REMITTANCE_ADVICE)
        .Click(IDC_LINTROVE_LAYOUT)
        .Read(IDC_REMITTANCE_ADVICE, "box")
        .Press(IDOK);

    const Outcome outcome = Show(kAccount, MakeDate(2024, 2, 29, 14, 0));

    EXPECT_FALSE(driver.Windows().at(0).Read("box")->Enabled);
    EXPECT_TRUE(driver.Windows().at(0).Read("box")->Checked);
    EXPECT_EQ(1, outcome.RemittanceAdviceRequired);
    EXPECT_EQ(0, outcome.UseLedgerwayLayout);
    EXPECT_EQ(MakeDate(2024, 2, 29, 14, 0), outcome.DebitDate);
}

TEST_F(OptionsDialogTest, TwoAccountsKeepTheirOwnChoice)
{
    ModalDriver driver;
    driver.On(kCaption).Click(IDC_LINTROVE_LAYOUT).Press(IDOK);
    driver.On(kCaption).Read(IDC_LEDGERWAY_LAYOUT, "ledgerway").Press(IDOK);
    driver.On(kCaption).Read(IDC_LINTROVE_LAYOUT, "lintrove").Press(IDOK);

    EXPECT_EQ(0, Show(kAccount).UseLedgerwayLayout);
    EXPECT_EQ(1, Show(kOtherAccount).UseLedgerwayLayout);
    EXPECT_EQ(0, Show(kAccount).UseLedgerwayLayout);

    EXPECT_TRUE(driver.Windows().at(1).Read("ledgerway")->Checked);
    EXPECT_TRUE(driver.Windows().at(2).Read("lintrove")->Checked);
    EXPECT_EQ("[MIGRATED]\r\nBMBUseLWFmt401122_87654321=FALSE\r\nBMBUseLWFmt200000_12345678=TRUE\r\n",
              ReadBytes(file_));
}

TEST_F(OptionsDialogTest, MemoryRunningOutInsideTheDialogClosesItAndIsRaisedToTheCaller)
{
    // OK with no memory left: the key's copy for the settings store cannot be made. The failure
    // must not unwind through the system's frames (that would end the host): the dialog closes and
    // the caller's method frame reports it.
    bool refused = false;
    ModalDriver driver;
    driver.On(kCaption).Click(IDC_LINTROVE_LAYOUT).Run([&](HWND dialog, WindowRecord&) {
        AllocationsFail fail;
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        refused = AllocationsFail::Refused();
    });
    CLintroveInfoDialog dialog(MakeDate(2024, 1, 15), 0, kAccount, 1, where_);

    const HRESULT result = MethodFrame([&] {
        dialog.DoModal(owner_);
        return S_OK;
    });

    EXPECT_TRUE(refused);
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFD), result);  // the module's "Out of Memory"
    ASSERT_EQ(1u, driver.Windows().size()) << driver.Summary();
    EXPECT_TRUE(driver.Windows()[0].Closed);
    EXPECT_FALSE(driver.Windows()[0].LeftOpen) << driver.Summary();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file_.c_str()));

    // The same dialog shows again as before once memory is back.
    driver.On(kCaption).Press(IDCANCEL);
    EXPECT_EQ(IDCANCEL, dialog.DoModal(owner_));
}

TEST_F(OptionsDialogTest, AFailedSettingsWriteStillEndsWithOk)
{
    where_ = SettingsLocation(std::string(300, 'x'));
    ModalDriver driver;
    driver.On(kCaption).Click(IDC_LINTROVE_LAYOUT).Press(IDOK);

    const Outcome outcome = Show(kAccount);

    EXPECT_EQ(IDOK, outcome.Result);
    EXPECT_EQ(0, outcome.UseLedgerwayLayout);
}

// ---------------------------------------------------------------------------------------------
// Drawing and placement.

TEST_F(OptionsDialogTest, TheTwoTextsOverTheGroupBoxesHaveNoBackground)
{
    struct Answer {
        LRESULT Brush;
        int Mode;
    };
    std::vector<Answer> answers;
    ModalDriver driver;
    driver.On(kCaption)
        .Run([&](HWND dialog, WindowRecord&) {
            const HDC dc = CreateCompatibleDC(nullptr);
            for (int id : {IDC_DEBIT_DATE_LABEL, IDC_LAYOUT_EXPLANATION, IDC_LEDGERWAY_LAYOUT}) {
                SetBkMode(dc, OPAQUE);
                const LRESULT brush = SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
                answers.push_back({brush, GetBkMode(dc)});
            }
            DeleteDC(dc);
        })
        .Press(IDCANCEL);

    Show(kAccount);

    ASSERT_EQ(3u, answers.size());
    const auto nullBrush = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    EXPECT_EQ(nullBrush, answers[0].Brush);
    EXPECT_EQ(TRANSPARENT, answers[0].Mode);
    EXPECT_EQ(nullBrush, answers[1].Brush);
    EXPECT_EQ(TRANSPARENT, answers[1].Mode);
    EXPECT_NE(nullBrush, answers[2].Brush);
    EXPECT_EQ(OPAQUE, answers[2].Mode);
}

TEST_F(OptionsDialogTest, WithAHiddenOwnerTheDialogIsCentredOnTheWorkArea)
{
    ShowWindow(owner_, SW_HIDE);
    ModalDriver driver;
    driver.On(kCaption).Press(IDCANCEL);

    Show(kAccount);

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(owner_, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const RECT& rect = driver.Windows().at(0).Rect;
    EXPECT_EQ((work.left + work.right) / 2 - (rect.right - rect.left) / 2, rect.left);
    EXPECT_EQ((work.top + work.bottom) / 2 - (rect.bottom - rect.top) / 2, rect.top);
}

TEST_F(OptionsDialogTest, AnOwnerAtTheEdgeKeepsTheDialogOnTheWorkArea)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(owner_, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    // Mostly off the bottom right corner, then mostly off the top left corner.
    SetWindowPos(owner_, nullptr, work.right - 50, work.bottom - 40, 200, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    ModalDriver driver;
    driver.On(kCaption).Press(IDCANCEL);
    driver.On(kCaption).Press(IDCANCEL);

    Show(kAccount);
    SetWindowPos(owner_, nullptr, work.left - 150, work.top - 150, 200, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    Show(kAccount);

    const RECT& bottomRight = driver.Windows().at(0).Rect;
    EXPECT_EQ(work.right, bottomRight.right);
    EXPECT_EQ(work.bottom, bottomRight.bottom);
    const RECT& topLeft = driver.Windows().at(1).Rect;
    EXPECT_EQ(work.left, topLeft.left);
    EXPECT_EQ(work.top, topLeft.top);
}

TEST_F(OptionsDialogTest, ADialogThatCannotBeCreatedReturnsNeitherOkNorCancel)
{
    ModalDriver driver;
    CLintroveInfoDialog dialog(Now(), 0, kAccount, 1, where_);

    const INT_PTR result = dialog.DoModal(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7ff0)));

    EXPECT_NE(IDOK, result);
    EXPECT_NE(IDCANCEL, result);
    EXPECT_TRUE(driver.Windows().empty());
}

}  // namespace
