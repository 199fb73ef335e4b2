#include "hostprogram/host_export.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <memory>

#include "hostprogram/program_text.h"
#include "modal/modal_driver.h"
#include "standin/import_patch.h"

namespace hostprogram {

const char kInvalidPathCaption[] = "Invalid default path";
const char kRedirectCaption[] = "Windows Redirect";
const char kWriteFailureCaption[] = "Payment Export";

namespace {

// The save dialog's file name box: a combo box (cmb13) in the explorer style, an edit field
// (edt1) in the older style.
const int kFileNameCombo = 0x47C;
const int kFileNameEdit = 0x480;

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

// Notes the file the module's save dialog returned to it: the module's own call of
// GetSaveFileNameW, seen through its import table. The host then says which file the module was
// given without asking the closing dialog which folder it shows, which depends on the system.
class SaveDialogRecorder {
public:
    explicit SaveDialogRecorder(HMODULE module)
        : patch_(module, "comdlg32.dll", "GetSaveFileNameW", reinterpret_cast<void*>(&Recorded))
    {
        if (patch_.Installed() && !active_)
            active_ = this;
    }
    ~SaveDialogRecorder()
    {
        if (active_ == this)
            active_ = nullptr;
    }
    SaveDialogRecorder(const SaveDialogRecorder&) = delete;
    SaveDialogRecorder& operator=(const SaveDialogRecorder&) = delete;

    // The full path of the last file chosen, UTF-8; "" when none was.
    const std::string& LastPath() const { return lastPath_; }

private:
    using SaveFunction = BOOL(WINAPI*)(OPENFILENAMEW*);

    static BOOL WINAPI Recorded(OPENFILENAMEW* dialog)
    {
        SaveDialogRecorder* self = active_;
        const auto save = self ? reinterpret_cast<SaveFunction>(self->patch_.Original()) : &GetSaveFileNameW;
        const BOOL chosen = save(dialog);
        if (self) {
            // Nothing may unwind into the module's frames.
            try {
                self->lastPath_ =
                    chosen && dialog && dialog->lpstrFile
                        ? Utf8(std::wstring(dialog->lpstrFile, wcsnlen(dialog->lpstrFile, dialog->nMaxFile)))
                        : std::string();
            } catch (...) {
                self->lastPath_.clear();
            }
        }
        return chosen;
    }

    static thread_local SaveDialogRecorder* active_;
    standin::ImportPatch patch_;
    std::string lastPath_;
};

thread_local SaveDialogRecorder* SaveDialogRecorder::active_ = nullptr;

// The module that serves an object: the one its interface table lives in.
HMODULE ModuleOf(IUnknown* object)
{
    HMODULE module = nullptr;
    if (!object ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(*reinterpret_cast<void**>(object)), &module))
        return nullptr;
    return module;
}

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

    // A holiday list that cannot be used is named before the options dialog.
    driver.On(modal::kHolidayListCaption)
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

    driver.On(modal::kDebitDateCaption)
        .Run([&given, &messages, answers](HWND window, modal::WindowRecord&) {
            given[window] = answers.TakeOfferedDebitDate ? "Yes" : "No";
            messages[window] = WindowText(GetDlgItem(window, kMessageTextId));
        })
        .Press(answers.TakeOfferedDebitDate ? IDYES : IDNO);
    driver.On(kRedirectCaption)
        .Run([&given, &messages, answers](HWND window, modal::WindowRecord&) {
            given[window] = answers.OpenRedirectFolder ? "Yes" : "No";
            messages[window] = WindowText(GetDlgItem(window, kMessageTextId));
        })
        .Press(answers.OpenRedirectFolder ? IDYES : IDNO);

    // What the file pays, before it is saved.
    modal::Script& summary = driver.On(modal::kSummaryCaption);
    summary.Run([&given, answers](HWND window, modal::WindowRecord&) {
        given[window] = answers.CancelSummary ? "Cancel" : "Save";
    });
    modal::AnswerSummary(summary, answers.CancelSummary ? modal::SummaryAnswer::Cancel : modal::SummaryAnswer::Save);

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
    // The module reads today from the process's environment, so a pinned day shows a chosen date's questions.
    if (!request.Today.empty())
        SetEnvironmentVariableA("BRENMARK_TODAY", request.Today.c_str());

    std::map<HWND, std::string> given, messages;
    std::unique_ptr<modal::ModalDriver> driver;
    if (request.Unattended) {
        driver = std::make_unique<modal::ModalDriver>();
        ScriptAnswers(*driver, request.Answers, given, messages);
    }
    const SaveDialogRecorder recorder(ModuleOf(service.Get()));

    SetErrorInfo(0, nullptr);
    outcome.Result = service->ExportPayments(batch.Get(), context ? context->Get() : nullptr);
    if (FAILED(outcome.Result))
        outcome.ErrorDescription = TakeErrorDescription();
    long status = -1;
    if (SUCCEEDED(service->get_Status(&status)))
        outcome.Status = status;

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
        outcome.Summaries = modal::SummaryTexts(*driver);
    }
    if (!recorder.LastPath().empty())
        outcome.ChosenPath = recorder.LastPath();

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
