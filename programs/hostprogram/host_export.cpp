#include "hostprogram/host_export.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <map>
#include <memory>

#include "modal/modal_driver.h"
#include "hostprogram/program_text.h"

namespace hostprogram {

const char kInvalidPathCaption[] = "Invalid default path";
const char kRedirectCaption[] = "Windows Redirect";
const char kWriteFailureCaption[] = "Payment Export";

namespace {

// The save dialog's file name box: a combo box (cmb13) in the explorer style, an edit field
// (edt1) in the older style.
const int kFileNameCombo = 0x47C;
const int kFileNameEdit = 0x480;

const char kDialogClass[] = "#32770";

HWND FileNameBox(HWND dialog)
{
    if (HWND combo = GetDlgItem(dialog, kFileNameCombo))
        return combo;
    return GetDlgItem(dialog, kFileNameEdit);
}

// Window texts are read wide: paths in them may be in any script. UTF-8 for printing.
std::string WindowText(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return Utf8(text);
}

// A message box's message (its static text control).
const int kMessageTextId = 0xFFFF;

// Notes the path a save dialog holds as it closes, so the host can say where the user told the
// module to write.
class SaveDialogWatcher {
public:
    // The folder the dialog opens in stands for the folder it showed when the dialog no longer says
    // which as it closes (a name typed there is in that folder).
    SaveDialogWatcher(std::string extension, std::string openedIn)
        : extension_(std::move(extension)), openedIn_(std::move(openedIn))
    {
        if (!active_) {
            active_ = this;
            hook_ = SetWindowsHookExA(WH_CBT, &SaveDialogWatcher::HookProc, nullptr, GetCurrentThreadId());
        }
    }
    ~SaveDialogWatcher()
    {
        if (hook_)
            UnhookWindowsHookEx(hook_);
        if (active_ == this)
            active_ = nullptr;
    }
    SaveDialogWatcher(const SaveDialogWatcher&) = delete;
    SaveDialogWatcher& operator=(const SaveDialogWatcher&) = delete;

    const std::string& LastPath() const { return lastPath_; }

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_DESTROYWND && active_)
            active_->Closing(reinterpret_cast<HWND>(wParam));
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    void Closing(HWND window)
    {
        char className[32] = {};
        GetClassNameA(window, className, sizeof className);
        if (std::string(className) != kDialogClass || (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD))
            return;
        const HWND nameBox = FileNameBox(window);
        if (!nameBox)
            return;
        // The name box holds a full path or a name in the folder the dialog shows.
        std::string path = WindowText(nameBox);
        const bool full = (path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
                          path.compare(0, 2, "\\\\") == 0;
        if (!full) {
            wchar_t folder[MAX_PATH * 2] = {};
            const LRESULT length =
                SendMessageW(window, CDM_GETFOLDERPATH, MAX_PATH * 2 - 1, reinterpret_cast<LPARAM>(folder));
            std::string prefix =
                length > 0 && static_cast<size_t>(length) < MAX_PATH * 2 ? Utf8(folder) : std::string();
            if (prefix.empty())
                prefix = openedIn_;
            if (!prefix.empty() && prefix.back() != '\\')
                prefix += '\\';
            path = prefix + path;
        }
        // The dialog adds the default extension to a name typed without one.
        const size_t name = path.find_last_of("\\/");
        if (!extension_.empty() && path.find('.', name == std::string::npos ? 0 : name) == std::string::npos)
            path += "." + extension_;
        lastPath_ = path;
    }

    static thread_local SaveDialogWatcher* active_;
    HHOOK hook_ = nullptr;
    std::string extension_;
    std::string openedIn_;
    std::string lastPath_;
};

thread_local SaveDialogWatcher* SaveDialogWatcher::active_ = nullptr;

// Scripts for every window an export may show, in the order the driver is to match them: the
// named ones first, so that the save dialog (whose caption is the system's own) and its question
// about replacing a file take the scripts for any caption.
void ScriptAnswers(modal::ModalDriver& driver, const DialogAnswers& answers, std::map<HWND, std::string>& given,
                   std::map<HWND, std::string>& messages)
{
    driver.On(kInvalidPathCaption)
        .Run([&given, &messages](HWND window, modal::WindowRecord&) {
            given[window] = "OK";
            messages[window] = WindowText(GetDlgItem(window, kMessageTextId));
        })
        .Press(IDOK);
    // The file could not be written: the module says where and why.
    driver.On(kWriteFailureCaption)
        .Run([&given, &messages](HWND window, modal::WindowRecord&) {
            given[window] = "OK";
            messages[window] = WindowText(GetDlgItem(window, kMessageTextId));
        })
        .Press(IDOK);

    modal::Script& options = driver.On(kOptionsCaption);
    if (answers.CancelOptions) {
        options.Run([&given](HWND window, modal::WindowRecord&) { given[window] = "Cancel"; }).Press(IDCANCEL);
    } else {
        modal::AnswerOptions(options, answers);
        options.Run(
            [&given](HWND dialog, modal::WindowRecord&) { given[dialog] = modal::DescribeOptions(dialog) + ": OK"; });
        options.Press(IDOK);
    }

    driver.On(kRedirectCaption)
        .Run([&given, &messages, answers](HWND window, modal::WindowRecord&) {
            given[window] = answers.OpenRedirectFolder ? "Yes" : "No";
            messages[window] = WindowText(GetDlgItem(window, kMessageTextId));
        })
        .Press(answers.OpenRedirectFolder ? IDYES : IDNO);

    modal::Script& save = driver.OnNext();
    if (answers.CancelSave) {
        save.Run([&given](HWND window, modal::WindowRecord&) { given[window] = "Cancel"; }).Press(IDCANCEL);
    } else {
        const std::wstring path = answers.OutputPath;
        save.Run([&given, path](HWND dialog, modal::WindowRecord& record) {
                const HWND nameBox = FileNameBox(dialog);
                if (!nameBox) {
                    record.Problems.push_back("no file name box");
                    return;
                }
                SendMessageW(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
                given[dialog] = Utf8(path) + ": Save";
            })
            .Press(IDOK);
        // The save dialog's own question before it replaces an existing file.
        if (answers.OutputExists)
            driver.OnNext().Run([&given](HWND window, modal::WindowRecord&) { given[window] = "Yes"; }).Press(IDYES);
    }
}

std::string OneLine(const std::string& text)
{
    std::string line;
    for (char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n') {
            if (!line.empty() && line.back() != ' ')
                line.push_back(' ');
            continue;
        }
        line.push_back(c);
    }
    return line;
}

std::string RedirectPath(const std::string& notice)
{
    // "Due to Windows Redirect your file was saved to: PATH\n\nWould you like to open the directory?"
    const size_t start = notice.find(": ");
    if (start == std::string::npos)
        return {};
    const size_t end = notice.find('\n', start);
    return notice.substr(start + 2, end == std::string::npos ? std::string::npos : end - start - 2);
}

}  // namespace

ExportOutcome RunExport(HostSession& session, const ExportRequest& request)
{
    ExportOutcome outcome;
    standin::Settings& settings = session.Settings();
    settings.DefaultFileName = request.DefaultFileName;
    settings.FileExtension = request.Extension;
    settings.DefaultDirectory = request.DefaultDirectory;

    standin::PaymentBatch batch;
    // A host keeps no record of the module's calls; large batches would only fill memory with it.
    batch.RecordPaymentCalls(false);
    for (const BatchPayment& payment : request.Payments)
        batch.Add(payment.Data);
    std::unique_ptr<standin::PaymentContext> context;
    if (request.HasAccount)
        context = std::make_unique<standin::PaymentContext>(request.SortCode, request.AccountNumber);

    ComPtr<ITolvarBankPaymentService> service = session.PaymentService();

    std::map<HWND, std::string> given, messages;
    std::unique_ptr<modal::ModalDriver> driver;
    std::unique_ptr<SaveDialogWatcher> watcher;
    if (request.Unattended) {
        driver = std::make_unique<modal::ModalDriver>();
        ScriptAnswers(*driver, request.Answers, given, messages);
    } else {
        watcher = std::make_unique<SaveDialogWatcher>(request.Extension, request.DefaultDirectory);
    }

    SetErrorInfo(0, nullptr);
    outcome.Result = service->ExportPayments(batch.Get(), context ? context->Get() : nullptr);
    if (FAILED(outcome.Result))
        outcome.ErrorDescription = TakeErrorDescription();
    long status = -1;
    if (SUCCEEDED(service->get_Status(&status)))
        outcome.Status = status;
    if (watcher)
        outcome.ChosenPath = watcher->LastPath();

    if (driver) {
        for (const modal::WindowRecord& record : driver->Windows()) {
            SeenWindow seen;
            seen.Caption = record.Caption;
            // A message box's first text is its message; the options and save dialogs' are labels.
            const auto message = messages.find(record.Window);
            if (message != messages.end())
                seen.Text = OneLine(message->second);
            else if (record.Caption != kOptionsCaption && !record.Control(kFileNameCombo) &&
                     !record.Control(kFileNameEdit))
                seen.Text = OneLine(record.Text);
            seen.Expected = record.Scripted;
            auto answer = given.find(record.Window);
            if (!record.Scripted)
                seen.Answer = "not expected: cancelled";
            else if (answer != given.end())
                seen.Answer = answer->second;
            if (record.LeftOpen)
                seen.Answer += seen.Answer.empty() ? "left open: cancelled" : " (left open: cancelled)";
            seen.Trouble = !record.Scripted || record.LeftOpen || !record.Problems.empty();
            if (!record.Scripted)
                ++outcome.UnexpectedWindows;
            outcome.Problems += static_cast<int>(record.Problems.size()) + (record.LeftOpen ? 1 : 0);
            for (const std::string& problem : record.Problems)
                seen.Answer += " [" + problem + "]";
            if (record.Caption == kRedirectCaption)
                outcome.RedirectedTo = RedirectPath(message != messages.end() ? message->second : record.Text);
            outcome.Windows.push_back(std::move(seen));
        }
        if (!request.Answers.CancelSave)
            outcome.ChosenPath = Utf8(request.Answers.OutputPath);
    }

    std::map<long, std::string> texts;
    const long count = static_cast<long>(request.Payments.size());
    for (long index = 0; index < count; ++index) {
        const long code = batch.ResultCode(index);
        outcome.Codes.push_back(code);
        if (code < 0) {
            outcome.Texts.emplace_back();
            continue;
        }
        auto known = texts.find(code);
        if (known == texts.end()) {
            Bstr text;
            std::string utf8;
            if (SUCCEEDED(service->GetResultText(code, text.Put())))
                utf8 = Utf8(std::wstring(text.Text(), text.Length()));
            known = texts.emplace(code, utf8).first;
        }
        outcome.Texts.push_back(known->second);
    }
    return outcome;
}

}  // namespace hostprogram
