// Answers the modal windows of the current thread by script: message boxes and dialogs are noticed
// as they open (a thread CBT hook), recorded with their controls, and driven through ordinary window
// messages, one step per timer tick of the window's own modal loop. A window that no script answers
// is cancelled and recorded as unexpected, so an unattended run never waits on the screen.
//
//     ModalDriver driver;
//     driver.On("Changes have been made").Press(IDNO);
//     driver.On("Payment Processing").Click(202).Press(IDCANCEL).Read(221, "date").Press(IDOK);
//     ... code that shows the windows ...
//     EXPECT_EQ(0, driver.UnexpectedCount());
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace modal {

// One child control as it was when read.
struct ControlState {
    int Id = 0;
    HWND Window = nullptr;
    std::string Class;
    std::string Text;  // the window text; a date picker gives the date as it displays it
    DWORD Style = 0;
    bool Enabled = false;
    bool Visible = false;
    bool Checked = false;  // a button with BST_CHECKED
    RECT Rect{};           // in the dialog's client coordinates
};

// A Read step's result.
struct Reading {
    std::string Label;
    ControlState State;
};

// One top-level dialog window of the thread (message boxes are dialogs too).
struct WindowRecord {
    HWND Window = nullptr;
    HWND Owner = nullptr;
    std::string Class;
    std::string Caption;
    std::string Text;  // the first non-empty static text: a message box's message
    int Icons = 0;     // static controls showing an icon: a message box's MB_ICON... choice
    DWORD Style = 0;
    DWORD ExStyle = 0;
    RECT Rect{};                         // screen coordinates when the driver first turned to it
    std::vector<ControlState> Controls;  // the direct child controls, in z-order
    std::vector<Reading> Readings;       // Read steps, in order
    std::vector<std::string> Problems;   // steps that could not be carried out
    bool Scripted = false;               // a script answered it
    bool LeftOpen = false;               // still open after its script; the driver cancelled it
    bool Closed = false;                 // destroyed
    // QueryPerformanceCounter when the window was created and destroyed: how long the "user" took.
    LONGLONG CreatedAt = 0;
    LONGLONG DestroyedAt = 0;

    const ControlState* Control(int id) const;
    const ControlState* Read(const std::string& label) const;
};

// Sets a date picker (DTM_SETSYSTEMTIME) and sends its parent the DTN_DATETIMECHANGE notification
// the control sends when the user changes the date; false, with nothing sent, when the picker is
// missing or refuses the date.
bool SetPickerDate(HWND picker, const SYSTEMTIME& date);

// The steps for one window, carried out in order.
class Script {
public:
    // BM_CLICK on a button, radio button or check box: the control changes its own state and
    // notifies its parent as on a mouse click.
    Script& Click(int id);
    // Presses a push button by id (IDOK, IDYES, IDNO or a custom id): BM_CLICK when the window has
    // that control, otherwise the WM_COMMAND such a button would send.
    Script& Press(int id);
    // The WM_COMMAND that control id would send with the notification code.
    Script& Command(int id, WORD code = BN_CLICKED);
    // Replaces the text of an edit field (or a combo box's edit field) with WM_SETTEXT.
    Script& Type(int id, const std::string& text);
    // Sets a date picker (DTM_SETSYSTEMTIME) and sends its parent the DTN_DATETIMECHANGE notification
    // the control sends when the user changes the date.
    Script& SetDate(int id, const SYSTEMTIME& date);
    // A key press (WM_KEYDOWN and WM_KEYUP) at the focused control, through the dialog's own loop.
    Script& Key(UINT virtualKey);
    Script& Escape() { return Key(VK_ESCAPE); }
    // The close box (WM_SYSCOMMAND with SC_CLOSE).
    Script& Close();
    // Records the control's state at this moment under the label (the id in decimal when empty).
    Script& Read(int id, std::string label = {});
    // Any other inspection or action on the window.
    Script& Run(std::function<void(HWND window, WindowRecord& record)> action);

    const std::string& Caption() const { return caption_; }
    bool AnyCaption() const { return anyCaption_; }
    bool Used() const { return used_; }
    bool Standing() const { return standing_; }

private:
    friend class ModalDriver;
    enum class Kind { Click, Press, Command, Type, SetDate, Key, Close, Read, Run };
    struct Step {
        Step(Kind what, int id = 0) : What(what), Id(id) {}
        Kind What;
        int Id = 0;
        WORD Code = 0;
        std::string Text;
        SYSTEMTIME Date{};
        std::function<void(HWND, WindowRecord&)> Action;
    };

    Script(std::string caption, bool anyCaption) : caption_(std::move(caption)), anyCaption_(anyCaption) {}
    Script& Add(Step step);
    bool Matches(const std::string& caption) const
    {
        return (standing_ || !used_) && (anyCaption_ || caption == caption_);
    }

    std::string caption_;
    bool anyCaption_;
    std::vector<Step> steps_;
    bool used_ = false;
    bool standing_ = false;
};

// Watches the thread it was made on. One driver per thread at a time.
class ModalDriver {
public:
    ModalDriver();
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    // The script for the next window whose caption is exactly this; scripts are taken in the order
    // they were added, each by one window.
    Script& On(const std::string& caption);
    // The script for the next window whatever its caption (for windows whose caption differs from
    // one system to another, such as a common dialog's own questions).
    Script& OnNext();
    // The script for every window whose caption is exactly this, for as long as the driver lives:
    // the answer a window gets when no script made for it with On comes first. Never unused.
    Script& Always(const std::string& caption);

    // Every dialog window seen so far, in the order they opened.
    const std::deque<WindowRecord>& Windows() const { return records_; }
    // Those with the caption, in order.
    std::vector<const WindowRecord*> WithCaption(const std::string& caption) const;
    // Windows that no script answered, and scripts that no window took.
    int UnexpectedCount() const;
    std::vector<std::string> UnusedScripts() const;
    // One line per window and problem, for test failure messages.
    std::string Summary() const;

    // Timer period of the driving, in milliseconds.
    static constexpr UINT TickMilliseconds = 10;

private:
    struct Tracked;
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD);

    void Noticed(HWND window);
    void Destroyed(HWND window);
    void Tick();
    void Drive(Tracked& tracked);
    void Begin(Tracked& tracked);
    void Perform(Tracked& tracked, const Script::Step& step);
    void CancelLeftOver(Tracked& tracked);
    void Snapshot(HWND window, WindowRecord& record) const;
    void UpdateTimer();

    HHOOK hook_ = nullptr;
    UINT_PTR timer_ = 0;
    std::deque<Script> scripts_;
    std::deque<WindowRecord> records_;  // a deque: records stay put while windows open
    std::vector<std::unique_ptr<Tracked>> open_;
};

// The state of a control of a window, read now.
ControlState ReadControl(HWND control);

}  // namespace modal
