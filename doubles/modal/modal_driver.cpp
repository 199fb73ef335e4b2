#include "modal/modal_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace modal {

namespace {

// The one driver of each thread, for the hook and timer callbacks, which carry no context.
thread_local ModalDriver* activeDriver = nullptr;

const char kDialogClass[] = "#32770";

// Ticks a window may stay hidden, or without its caption, before it is driven anyway (a dialog
// shows itself when its loop first goes idle, which is before the first tick; this only guards
// dialogs that never show, or are read before their caption is set on a busy machine).
constexpr int kReadyTicks = 20;
// Ticks a window gets to close after its last step, before the driver cancels it.
constexpr int kGraceTicks = 5;
// Ticks a cancelled window gets before its modal loop is ended outright.
constexpr int kCancelTicks = 10;

std::string WindowText(HWND window)
{
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    const int copied = GetWindowTextA(window, &text[0], static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

std::string ClassOf(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

bool IsTextStatic(const ControlState& control)
{
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, control.Class.c_str(), -1, "Static", -1) != CSTR_EQUAL)
        return false;
    const DWORD type = control.Style & SS_TYPEMASK;
    return type != SS_ICON && type != SS_BITMAP && type != SS_ENHMETAFILE && !control.Text.empty();
}

std::string Describe(int id)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d", id);
    return text;
}

}  // namespace

ControlState ReadControl(HWND control)
{
    ControlState state;
    state.Window = control;
    state.Id = GetDlgCtrlID(control);
    state.Class = ClassOf(control);
    state.Text = WindowText(control);
    state.Style = static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE));
    state.Enabled = IsWindowEnabled(control) != FALSE;
    state.Visible = IsWindowVisible(control) != FALSE;
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, state.Class.c_str(), -1, "Button", -1) == CSTR_EQUAL)
        state.Checked = SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    GetWindowRect(control, &state.Rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&state.Rect), 2);
    return state;
}

const ControlState* WindowRecord::Control(int id) const
{
    for (const ControlState& control : Controls) {
        if (control.Id == id)
            return &control;
    }
    return nullptr;
}

const ControlState* WindowRecord::Read(const std::string& label) const
{
    for (const Reading& reading : Readings) {
        if (reading.Label == label)
            return &reading.State;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Script

Script& Script::Add(Step step)
{
    steps_.push_back(std::move(step));
    return *this;
}

Script& Script::Click(int id)
{
    return Add({Kind::Click, id});
}

Script& Script::Press(int id)
{
    return Add({Kind::Press, id});
}

Script& Script::Command(int id, WORD code)
{
    Step step{Kind::Command, id};
    step.Code = code;
    return Add(std::move(step));
}

Script& Script::Type(int id, const std::string& text)
{
    Step step{Kind::Type, id};
    step.Text = text;
    return Add(std::move(step));
}

bool SetPickerDate(HWND picker, const SYSTEMTIME& date)
{
    SYSTEMTIME given = date;
    if (!picker || !SendMessageA(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&given)))
        return false;
    NMDATETIMECHANGE change{};
    change.nmhdr.hwndFrom = picker;
    change.nmhdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(picker));
    change.nmhdr.code = DTN_DATETIMECHANGE;
    change.dwFlags =
        static_cast<DWORD>(SendMessageA(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&change.st)));
    SendMessageA(GetParent(picker), WM_NOTIFY, change.nmhdr.idFrom, reinterpret_cast<LPARAM>(&change));
    return true;
}

Script& Script::SetDate(int id, const SYSTEMTIME& date)
{
    Step step{Kind::SetDate, id};
    step.Date = date;
    return Add(std::move(step));
}

Script& Script::Key(UINT virtualKey)
{
    return Add({Kind::Key, static_cast<int>(virtualKey)});
}

Script& Script::Close()
{
    return Add({Kind::Close});
}

Script& Script::Read(int id, std::string label)
{
    Step step{Kind::Read, id};
    step.Text = label.empty() ? Describe(id) : std::move(label);
    return Add(std::move(step));
}

Script& Script::Run(std::function<void(HWND, WindowRecord&)> action)
{
    Step step{Kind::Run};
    step.Action = std::move(action);
    return Add(std::move(step));
}

// ---------------------------------------------------------------------------------------------
// ModalDriver

struct ModalDriver::Tracked {
    HWND Window = nullptr;
    WindowRecord* Record = nullptr;
    Script* Answer = nullptr;
    size_t NextStep = 0;
    bool Begun = false;
    bool Busy = false;  // inside a step that runs a nested modal loop
    int Waited = 0;
    int ClosingTicks = 0;
};

ModalDriver::ModalDriver()
{
    if (activeDriver)
        throw std::logic_error("one modal driver per thread");
    hook_ = SetWindowsHookExA(WH_CBT, &ModalDriver::HookProc, nullptr, GetCurrentThreadId());
    if (!hook_)
        throw std::runtime_error("the window hook could not be installed");
    activeDriver = this;
}

ModalDriver::~ModalDriver()
{
    UnhookWindowsHookEx(hook_);
    if (timer_)
        KillTimer(nullptr, timer_);
    activeDriver = nullptr;
}

Script& ModalDriver::On(const std::string& caption)
{
    scripts_.push_back(Script(caption, false));
    return scripts_.back();
}

Script& ModalDriver::OnNext()
{
    scripts_.push_back(Script("(any caption)", true));
    return scripts_.back();
}

Script& ModalDriver::Always(const std::string& caption)
{
    scripts_.push_back(Script(caption, false));
    scripts_.back().standing_ = true;
    return scripts_.back();
}

std::vector<const WindowRecord*> ModalDriver::WithCaption(const std::string& caption) const
{
    std::vector<const WindowRecord*> found;
    for (const WindowRecord& record : records_) {
        if (record.Caption == caption)
            found.push_back(&record);
    }
    return found;
}

int ModalDriver::UnexpectedCount() const
{
    return static_cast<int>(
        std::count_if(records_.begin(), records_.end(), [](const WindowRecord& record) { return !record.Scripted; }));
}

std::vector<std::string> ModalDriver::UnusedScripts() const
{
    std::vector<std::string> unused;
    for (const Script& script : scripts_) {
        if (!script.Used() && !script.Standing())
            unused.push_back(script.Caption());
    }
    return unused;
}

std::string ModalDriver::Summary() const
{
    std::string text;
    for (const WindowRecord& record : records_) {
        text += "\"" + record.Caption + "\"";
        if (!record.Text.empty())
            text += " \"" + record.Text + "\"";
        if (!record.Scripted)
            text += " [unexpected, cancelled]";
        if (record.LeftOpen)
            text += " [left open, cancelled]";
        text += "\n";
        for (const std::string& problem : record.Problems)
            text += "    " + problem + "\n";
    }
    for (const std::string& caption : UnusedScripts())
        text += "script not used: \"" + caption + "\"\n";
    return text;
}

LRESULT CALLBACK ModalDriver::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    ModalDriver* driver = activeDriver;
    if (driver && code == HCBT_CREATEWND) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        if (!(create->style & WS_CHILD) && ClassOf(window) == kDialogClass)
            driver->Noticed(window);
    } else if (driver && code == HCBT_DESTROYWND) {
        driver->Destroyed(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK ModalDriver::TimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    if (ModalDriver* driver = activeDriver)
        driver->Tick();
}

void ModalDriver::Noticed(HWND window)
{
    records_.emplace_back();
    WindowRecord& record = records_.back();
    record.Window = window;
    record.Class = kDialogClass;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    record.CreatedAt = now.QuadPart;
    auto tracked = std::make_unique<Tracked>();
    tracked->Window = window;
    tracked->Record = &record;
    open_.push_back(std::move(tracked));
    UpdateTimer();
}

void ModalDriver::Destroyed(HWND window)
{
    for (const auto& tracked : open_) {
        if (tracked->Window == window) {
            // A window that closed before its first tick is still described.
            if (!tracked->Begun)
                Snapshot(window, *tracked->Record);
            tracked->Record->Closed = true;
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            tracked->Record->DestroyedAt = now.QuadPart;
        }
    }
}

void ModalDriver::UpdateTimer()
{
    if (!open_.empty() && !timer_) {
        timer_ = SetTimer(nullptr, 0, TickMilliseconds, &ModalDriver::TimerProc);
    } else if (open_.empty() && timer_) {
        KillTimer(nullptr, timer_);
        timer_ = 0;
    }
}

void ModalDriver::Tick()
{
    // Closed windows leave the list, except one whose step is still running further up the stack.
    open_.erase(std::remove_if(open_.begin(), open_.end(),
                               [](const std::unique_ptr<Tracked>& tracked) {
                                   return !tracked->Busy && (tracked->Record->Closed || !IsWindow(tracked->Window));
                               }),
                open_.end());
    UpdateTimer();
    // Only the newest window is driven: an older one is waiting for it in a nested modal loop.
    if (open_.empty() || open_.back()->Busy || open_.back()->Record->Closed)
        return;
    Drive(*open_.back());
}

void ModalDriver::Snapshot(HWND window, WindowRecord& record) const
{
    record.Owner = GetWindow(window, GW_OWNER);
    record.Caption = WindowText(window);
    record.Style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
    record.ExStyle = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE));
    GetWindowRect(window, &record.Rect);
    record.Controls.clear();
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        record.Controls.push_back(ReadControl(child));
    record.Text.clear();
    for (const ControlState& control : record.Controls) {
        if (IsTextStatic(control)) {
            record.Text = control.Text;
            break;
        }
    }
    record.Icons = 0;
    for (const ControlState& control : record.Controls) {
        if ((control.Style & SS_TYPEMASK) == SS_ICON && control.Visible &&
            SendMessageA(control.Window, STM_GETICON, 0, 0))
            ++record.Icons;
    }
}

void ModalDriver::Begin(Tracked& tracked)
{
    tracked.Begun = true;
    Snapshot(tracked.Window, *tracked.Record);
    // Scripts made for one window first, then the standing ones.
    for (bool standing : {false, true}) {
        for (Script& script : scripts_) {
            if (script.standing_ == standing && script.Matches(tracked.Record->Caption)) {
                script.used_ = true;
                tracked.Answer = &script;
                tracked.Record->Scripted = true;
                return;
            }
        }
    }
}

void ModalDriver::Drive(Tracked& tracked)
{
    if (!tracked.Begun) {
        // A message box gets its caption in its first message, after the hook saw it created: a
        // window is read once it is shown with its caption (or has had its time to be).
        const bool ready = IsWindowVisible(tracked.Window) && GetWindowTextLengthW(tracked.Window) > 0;
        if (!ready && ++tracked.Waited < kReadyTicks)
            return;
        Begin(tracked);
    }
    if (tracked.Answer && tracked.NextStep < tracked.Answer->steps_.size()) {
        const Script::Step& step = tracked.Answer->steps_[tracked.NextStep++];
        tracked.Busy = true;
        Perform(tracked, step);
        tracked.Busy = false;
        return;
    }
    CancelLeftOver(tracked);
}

void ModalDriver::CancelLeftOver(Tracked& tracked)
{
    const int ticks = ++tracked.ClosingTicks;
    const int cancelAt = tracked.Answer ? kGraceTicks : 1;
    if (ticks == cancelAt) {
        // As the Esc key would: the window's own Cancel handling runs.
        if (tracked.Answer)
            tracked.Record->LeftOpen = true;
        PostMessageA(tracked.Window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(tracked.Window, IDCANCEL)));
    } else if (ticks == cancelAt + kCancelTicks) {
        // The window refused Cancel (a Yes/No message box, or one that asks again): end its loop.
        tracked.Record->Problems.push_back("did not close on Cancel; its modal loop was ended");
        EndDialog(tracked.Window, IDCANCEL);
    }
}

void ModalDriver::Perform(Tracked& tracked, const Script::Step& step)
{
    const HWND window = tracked.Window;
    WindowRecord& record = *tracked.Record;
    const HWND control = step.Id ? GetDlgItem(window, step.Id) : nullptr;
    auto requireControl = [&](const char* action) {
        if (control)
            return true;
        record.Problems.push_back(std::string(action) + ": no control " + Describe(step.Id));
        return false;
    };
    auto requireEnabled = [&](const char* action) {
        if (IsWindowEnabled(control))
            return true;
        record.Problems.push_back(std::string(action) + ": control " + Describe(step.Id) + " is disabled");
        return false;
    };

    switch (step.What) {
    case Script::Kind::Click:
        // Posted, so the control runs it inside the dialog's own loop as it would a mouse click.
        if (requireControl("Click") && requireEnabled("Click"))
            PostMessageA(control, BM_CLICK, 0, 0);
        break;
    case Script::Kind::Press:
        if (!control)
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(step.Id, BN_CLICKED), 0);
        else if (requireEnabled("Press"))
            PostMessageA(control, BM_CLICK, 0, 0);
        break;
    case Script::Kind::Command:
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(step.Id, step.Code), reinterpret_cast<LPARAM>(control));
        break;
    case Script::Kind::Type:
        if (requireControl("Type") && requireEnabled("Type"))
            SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step.Text.c_str()));
        break;
    case Script::Kind::SetDate:
        if (requireControl("SetDate") && requireEnabled("SetDate") && !SetPickerDate(control, step.Date))
            record.Problems.push_back("SetDate: control " + Describe(step.Id) + " refused the date");
        break;
    case Script::Kind::Key: {
        HWND target = GetFocus();
        if (target != window && !IsChild(window, target))
            target = window;
        const UINT key = static_cast<UINT>(step.Id);
        const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)) << 16;
        PostMessageA(target, WM_KEYDOWN, key, scan | 1);
        // Key-up: previous state down (bit 30), transition (bit 31), repeat count 1.
        PostMessageA(target, WM_KEYUP, key, scan | static_cast<LPARAM>(static_cast<ULONG_PTR>(0xC0000001u)));
        break;
    }
    case Script::Kind::Close:
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case Script::Kind::Read:
        if (requireControl("Read"))
            record.Readings.push_back({step.Text, ReadControl(control)});
        break;
    case Script::Kind::Run:
        step.Action(window, record);
        break;
    }
}

}  // namespace modal
