// The modal-window driver: message boxes and a dialog built from an in-memory template, answered
// by script through window messages, with unexpected windows cancelled instead of waiting.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modal/modal_driver.h"

using modal::ModalDriver;
using modal::WindowRecord;

namespace {

// Builds a DLGTEMPLATE with its items in memory (DWORD-aligned items, WORD-aligned strings).
class DialogTemplate {
public:
    DialogTemplate(const char* caption, DWORD style, short cx, short cy)
    {
        Align(4);
        DLGTEMPLATE header{};
        header.style = style | DS_SETFONT;
        header.cx = cx;
        header.cy = cy;
        Put(&header, sizeof header);
        PutWord(0);  // no menu
        PutWord(0);  // the dialog class
        PutText(caption);
        PutWord(8);
        PutText("MS Shell Dlg");
    }

    DialogTemplate& Item(const char* className, const char* text, int id, DWORD style, short x, short y, short cx,
                         short cy)
    {
        Align(4);
        DLGITEMTEMPLATE item{};
        item.style = style | WS_CHILD | WS_VISIBLE;
        item.x = x;
        item.y = y;
        item.cx = cx;
        item.cy = cy;
        item.id = static_cast<WORD>(id);
        Put(&item, sizeof item);
        PutText(className);
        PutText(text);
        PutWord(0);  // no creation data
        Items()++;
        return *this;
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

private:
    WORD& Items() { return reinterpret_cast<DLGTEMPLATE*>(bytes_.data())->cdit; }
    void Align(size_t to)
    {
        while (bytes_.size() % to)
            bytes_.push_back(0);
    }
    void Put(const void* data, size_t size)
    {
        const auto* p = static_cast<const unsigned char*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    void PutWord(WORD value) { Put(&value, sizeof value); }
    void PutText(const char* text)
    {
        for (; *text; ++text)
            PutWord(static_cast<unsigned char>(*text));
        PutWord(0);
    }

    std::vector<unsigned char> bytes_;
};

constexpr int kCheck = 101, kRadioA = 102, kRadioB = 103, kEdit = 104, kDate = 105, kDisabled = 106, kLabel = 107;

// What the test dialog saw, and how it answers Cancel.
struct DialogState {
    bool AskOnCancel = false;
    bool RefuseCancel = false;
    std::vector<std::string> Events;
    SYSTEMTIME Notified{};
    int Answers = 0;
};

INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        const HWND date = GetDlgItem(dialog, kDate);
        SendMessageA(date, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>("dd/MM/yyyy"));
        SYSTEMTIME start{2020, 1, 0, 2, 0, 0, 0, 0};
        SendMessageA(date, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&start));
        return TRUE;
    }
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        state->Events.push_back("command " + std::to_string(id) + " " + std::to_string(HIWORD(wParam)));
        if (id == IDOK) {
            EndDialog(dialog, IDOK);
        } else if (id == IDCANCEL && !state->RefuseCancel) {
            if (state->AskOnCancel) {
                ++state->Answers;
                if (MessageBoxA(dialog, "Ignore the changes?", "Question", MB_YESNO | MB_ICONQUESTION) != IDYES)
                    return TRUE;
            }
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == DTN_DATETIMECHANGE) {
            state->Events.push_back("date change " + std::to_string(header->idFrom));
            state->Notified = reinterpret_cast<const NMDATETIMECHANGE*>(lParam)->st;
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

DialogTemplate TestDialog()
{
    DialogTemplate dialog("Test Dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 200, 120);
    dialog.Item("Static", "Pick one", kLabel, SS_LEFT, 5, 5, 80, 10)
        .Item("Button", "Check", kCheck, BS_AUTOCHECKBOX | WS_TABSTOP, 5, 20, 80, 10)
        .Item("Button", "Option A", kRadioA, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 5, 35, 80, 10)
        .Item("Button", "Option B", kRadioB, BS_AUTORADIOBUTTON, 90, 35, 80, 10)
        .Item("Edit", "", kEdit, ES_LEFT | WS_BORDER | WS_GROUP | WS_TABSTOP, 5, 50, 100, 12)
        .Item(DATETIMEPICK_CLASSA, "", kDate, DTS_RIGHTALIGN | WS_TABSTOP, 5, 65, 70, 12)
        .Item("Button", "Off", kDisabled, BS_PUSHBUTTON | WS_DISABLED, 110, 65, 50, 14)
        .Item("Button", "OK", IDOK, BS_PUSHBUTTON | WS_TABSTOP, 40, 100, 50, 14)
        .Item("Button", "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 100, 100, 50, 14);
    return dialog;
}

INT_PTR ShowTestDialog(DialogState& state, HWND owner = nullptr)
{
    const DialogTemplate dialog = TestDialog();
    return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), dialog.Get(), owner, TestDialogProc,
                                   reinterpret_cast<LPARAM>(&state));
}

class ModalDriverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES};
        InitCommonControlsEx(&controls);
    }
    void SetUp() override
    {
        owner_ = CreateWindowExA(0, "Static", "Owner", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, owner_);
    }
    void TearDown() override { DestroyWindow(owner_); }

    HWND owner_ = nullptr;
};

TEST_F(ModalDriverTest, MessageBoxesAreRecordedAndAnsweredInScriptOrder)
{
    ModalDriver driver;
    driver.On("Question").Press(IDYES);
    driver.On("Question").Press(IDNO);

    EXPECT_EQ(IDYES, MessageBoxA(owner_, "First?", "Question", MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(IDNO, MessageBoxA(nullptr, "Second?", "Question", MB_YESNO));

    ASSERT_EQ(2u, driver.Windows().size()) << driver.Summary();
    const WindowRecord& first = driver.Windows()[0];
    EXPECT_EQ("Question", first.Caption);
    EXPECT_EQ("First?", first.Text);
    EXPECT_EQ("#32770", first.Class);
    EXPECT_EQ(owner_, first.Owner);
    EXPECT_TRUE(first.Scripted);
    EXPECT_TRUE(first.Closed);
    ASSERT_NE(nullptr, first.Control(IDYES));
    ASSERT_NE(nullptr, first.Control(IDNO));
    EXPECT_EQ("Button", first.Control(IDYES)->Class);
    EXPECT_TRUE(first.Control(IDNO)->Enabled);
    EXPECT_EQ(nullptr, first.Control(IDOK));
    EXPECT_TRUE(first.Style & WS_CAPTION);
    EXPECT_FALSE(first.Style & WS_CHILD);

    EXPECT_EQ(1, first.Icons);
    EXPECT_EQ("Second?", driver.Windows()[1].Text);
    EXPECT_EQ(0, driver.Windows()[1].Icons);
    EXPECT_EQ(nullptr, driver.Windows()[1].Owner);
    EXPECT_EQ(0, driver.UnexpectedCount());
    EXPECT_TRUE(driver.UnusedScripts().empty());
}

TEST_F(ModalDriverTest, AnyCaptionScriptsTakeWindowsInTurnWithTheNamedOnes)
{
    ModalDriver driver;
    driver.On("Named").Press(IDOK);
    driver.OnNext().Press(IDNO);

    EXPECT_EQ(IDNO, MessageBoxA(nullptr, "?", "Whatever the system calls it", MB_YESNO));
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "!", "Named", MB_OKCANCEL));

    EXPECT_EQ(0, driver.UnexpectedCount()) << driver.Summary();
    EXPECT_TRUE(driver.UnusedScripts().empty());
}

TEST_F(ModalDriverTest, WindowsWithoutScriptAreCancelledAndReportedUnexpected)
{
    ModalDriver driver;
    driver.On("Something else").Press(IDOK);

    EXPECT_EQ(IDCANCEL, MessageBoxA(nullptr, "Go on?", "Unplanned", MB_OKCANCEL));
    // A Yes/No box has no Cancel button; it must still not wait for a user.
    MessageBoxA(nullptr, "Really?", "Unplanned too", MB_YESNO);

    ASSERT_EQ(2u, driver.Windows().size());
    EXPECT_FALSE(driver.Windows()[0].Scripted);
    EXPECT_FALSE(driver.Windows()[1].Scripted);
    EXPECT_EQ(2, driver.UnexpectedCount());
    EXPECT_EQ(std::vector<std::string>{"Something else"}, driver.UnusedScripts());
    EXPECT_NE(std::string::npos, driver.Summary().find("\"Unplanned\" \"Go on?\" [unexpected, cancelled]"));
}

TEST_F(ModalDriverTest, DateThePickerRefusesIsAProblemAndNoChangeIsNotified)
{
    ModalDriver driver;
    const SYSTEMTIME impossible{2024, 13, 0, 40, 0, 0, 0, 0};
    driver.On("Test Dialog").SetDate(kDate, impossible).Read(kDate, "date").Press(IDOK);
    DialogState state;

    EXPECT_EQ(IDOK, ShowTestDialog(state, owner_));

    ASSERT_EQ(1u, driver.Windows().size()) << driver.Summary();
    const WindowRecord& record = driver.Windows()[0];
    ASSERT_EQ(1u, record.Problems.size()) << driver.Summary();
    EXPECT_NE(std::string::npos, record.Problems[0].find("refused the date")) << record.Problems[0];
    EXPECT_EQ("02/01/2020", record.Read("date")->Text);
    for (const std::string& event : state.Events)
        EXPECT_NE(0u, event.rfind("date change", 0)) << event;
}

TEST_F(ModalDriverTest, DialogControlsAreDrivenThroughTheirMessages)
{
    ModalDriver driver;
    const SYSTEMTIME date{2024, 3, 0, 5, 0, 0, 0, 0};
    driver.On("Test Dialog")
        .Read(kDate, "date before")
        .Click(kCheck)
        .Read(kCheck, "check")
        .Click(kRadioB)
        .Read(kRadioA, "radio a")
        .Read(kRadioB, "radio b")
        .Type(kEdit, "PAY.CSV")
        .Read(kEdit, "edit")
        .SetDate(kDate, date)
        .Read(kDate, "date after")
        .Press(IDOK);
    DialogState state;

    EXPECT_EQ(IDOK, ShowTestDialog(state, owner_));

    ASSERT_EQ(1u, driver.Windows().size()) << driver.Summary();
    const WindowRecord& record = driver.Windows()[0];
    EXPECT_TRUE(record.Problems.empty()) << driver.Summary();
    EXPECT_EQ(owner_, record.Owner);
    EXPECT_EQ("Pick one", record.Text);
    EXPECT_EQ("02/01/2020", record.Read("date before")->Text);
    EXPECT_TRUE(record.Read("check")->Checked);
    EXPECT_FALSE(record.Read("radio a")->Checked);
    EXPECT_TRUE(record.Read("radio b")->Checked);
    EXPECT_EQ("PAY.CSV", record.Read("edit")->Text);
    EXPECT_EQ("05/03/2024", record.Read("date after")->Text);
    EXPECT_EQ(5, state.Notified.wDay);
    EXPECT_EQ(3, state.Notified.wMonth);
    EXPECT_EQ(2024, state.Notified.wYear);

    // The parent heard each control as from a user: clicks as BN_CLICKED, the date as a notification.
    // (The edit's own EN_UPDATE and EN_CHANGE for WM_SETTEXT differ between systems; left out.)
    std::vector<std::string> events;
    for (const std::string& event : state.Events) {
        if (event.rfind("command 104 ", 0) != 0)
            events.push_back(event);
    }
    EXPECT_EQ((std::vector<std::string>{"command 101 0", "command 103 0", "date change 105", "command 1 0"}), events);
}

TEST_F(ModalDriverTest, InitialControlsAreRecordedWithTheirState)
{
    ModalDriver driver;
    driver.On("Test Dialog").Press(IDOK);
    DialogState state;
    ShowTestDialog(state);

    const WindowRecord& record = driver.Windows().at(0);
    ASSERT_EQ(9u, record.Controls.size());
    EXPECT_EQ(kLabel, record.Controls[0].Id);
    EXPECT_EQ("Static", record.Controls[0].Class);
    EXPECT_EQ("Check", record.Control(kCheck)->Text);
    EXPECT_EQ(static_cast<DWORD>(BS_AUTOCHECKBOX), record.Control(kCheck)->Style & BS_TYPEMASK);
    EXPECT_FALSE(record.Control(kCheck)->Checked);
    EXPECT_FALSE(record.Control(kDisabled)->Enabled);
    EXPECT_TRUE(record.Control(IDOK)->Enabled);
    EXPECT_EQ(DATETIMEPICK_CLASSA, record.Control(kDate)->Class);
    EXPECT_EQ("02/01/2020", record.Control(kDate)->Text);
}

TEST_F(ModalDriverTest, ADisabledControlIsNotClickedAndTheStepIsReported)
{
    ModalDriver driver;
    driver.On("Test Dialog").Click(kDisabled).Click(999).Press(IDOK);
    DialogState state;

    EXPECT_EQ(IDOK, ShowTestDialog(state));

    const WindowRecord& record = driver.Windows().at(0);
    EXPECT_EQ((std::vector<std::string>{"Click: control 106 is disabled", "Click: no control 999"}), record.Problems);
    EXPECT_EQ(std::vector<std::string>{"command 1 0"}, state.Events);
}

TEST_F(ModalDriverTest, EscapeAndTheCloseBoxCancelThroughTheDialogManager)
{
    ModalDriver driver;
    driver.On("Test Dialog").Escape();
    driver.On("Test Dialog").Close();
    DialogState escaped, closed;

    EXPECT_EQ(IDCANCEL, ShowTestDialog(escaped));
    EXPECT_EQ(IDCANCEL, ShowTestDialog(closed));

    EXPECT_EQ(std::vector<std::string>{"command 2 0"}, escaped.Events);
    EXPECT_EQ(std::vector<std::string>{"command 2 0"}, closed.Events);
    EXPECT_EQ(0, driver.UnexpectedCount());
    EXPECT_FALSE(driver.Windows()[0].LeftOpen);
    EXPECT_FALSE(driver.Windows()[1].LeftOpen);
}

TEST_F(ModalDriverTest, StepsOnOneWindowInterleaveWithTheQuestionsItAsks)
{
    ModalDriver driver;
    driver.On("Test Dialog").Click(kCheck).Press(IDCANCEL).Read(kCheck, "after no").Press(IDCANCEL);
    driver.On("Question").Press(IDNO);
    driver.On("Question").Press(IDYES);
    DialogState state;
    state.AskOnCancel = true;

    EXPECT_EQ(IDCANCEL, ShowTestDialog(state));

    EXPECT_EQ(2, state.Answers);
    ASSERT_EQ(3u, driver.Windows().size()) << driver.Summary();
    EXPECT_EQ("Test Dialog", driver.Windows()[0].Caption);
    const auto questions = driver.WithCaption("Question");
    ASSERT_EQ(2u, questions.size());
    EXPECT_EQ(driver.Windows()[0].Window, questions[0]->Owner);
    EXPECT_EQ("Ignore the changes?", questions[1]->Text);
    EXPECT_TRUE(driver.Windows()[0].Read("after no")->Checked);
    EXPECT_EQ(0, driver.UnexpectedCount());
    EXPECT_FALSE(driver.Windows()[0].LeftOpen);
}

TEST_F(ModalDriverTest, AWindowStillOpenAfterItsScriptIsCancelled)
{
    ModalDriver driver;
    driver.On("Test Dialog").Read(kCheck);
    DialogState state;

    EXPECT_EQ(IDCANCEL, ShowTestDialog(state));

    EXPECT_TRUE(driver.Windows()[0].LeftOpen);
    EXPECT_TRUE(driver.Windows()[0].Scripted);
    EXPECT_NE(std::string::npos, driver.Summary().find("[left open, cancelled]"));
}

TEST_F(ModalDriverTest, AWindowThatRefusesCancelHasItsLoopEnded)
{
    ModalDriver driver;
    DialogState state;
    state.RefuseCancel = true;

    EXPECT_EQ(IDCANCEL, ShowTestDialog(state));

    ASSERT_EQ(1u, driver.Windows().size());
    EXPECT_FALSE(driver.Windows()[0].Scripted);
    EXPECT_EQ(std::vector<std::string>{"did not close on Cancel; its modal loop was ended"},
              driver.Windows()[0].Problems);
}

TEST_F(ModalDriverTest, OnlyOneDriverWatchesAThread)
{
    ModalDriver driver;
    EXPECT_THROW(ModalDriver second, std::logic_error);
}

}  // namespace
