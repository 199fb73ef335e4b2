#include "payments/options_dialog.h"

#include <commctrl.h>
#include <oleauto.h>

#include <cmath>
#include <cwchar>
#include <string>
#include <utility>

#include "support/platform.h"

const wchar_t kDebitDateCaption[] = L"Debit Date";

namespace {

const char kSettingsKeyPrefix[] = "BMBUseLWFmt";
const char kDateFormat[] = "dd/MM/yyyy";
const char kChangesCaption[] = "Changes have been made";
const char kChangesQuestion[] = "Do you wish to ignore these changes?";

using InitCommonControlsExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

// The common controls by their full path in the system folder: by bare name the loader would look
// in the host program's own folder first.
HMODULE LoadCommonControls()
{
    static const wchar_t kName[] = L"\\comctl32.dll";
    constexpr UINT kNameLength = sizeof kName / sizeof kName[0];  // with its terminator
    wchar_t path[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + kNameLength > MAX_PATH)
        return nullptr;
    std::wmemcpy(path + length, kName, kNameLength);
    return LoadLibraryW(path);
}

}  // namespace

CLintroveInfoDialog::CLintroveInfoDialog(DATE debitDate, int remittanceAdviceRequired, const CString& accountKeySuffix,
                                         int useLedgerwayLayout, SettingsLocation settings, const DebitDateRules* rules)
    : debitDate_(debitDate),
      remittanceAdviceRequired_(remittanceAdviceRequired),
      useLedgerwayLayout_(useLedgerwayLayout),
      settingsKey_(kSettingsKeyPrefix),
      settings_(std::move(settings)),
      rules_(rules)
{
    settingsKey_ += accountKeySuffix;

    // The date picker's window class is registered by the common controls; without them the dialog
    // still shows, with whatever the system has registered.
    commonControlsModule_ = LoadCommonControls();
    if (commonControlsModule_) {
        const auto initialise = reinterpret_cast<InitCommonControlsExFunction>(
            reinterpret_cast<void (*)()>(GetProcAddress(commonControlsModule_, "InitCommonControlsEx")));
        if (initialise) {
            INITCOMMONCONTROLSEX classes{sizeof classes, ICC_DATE_CLASSES};
            initialise(&classes);
        }
    }
}

CLintroveInfoDialog::~CLintroveInfoDialog()
{
    if (commonControlsModule_)
        FreeLibrary(commonControlsModule_);
}

INT_PTR CLintroveInfoDialog::DoModal(HWND owner)
{
    failure_ = nullptr;
    const INT_PTR result =
        ::DialogBoxParamA(static_cast<HINSTANCE>(platform::ResourceModule()), MAKEINTRESOURCEA(IDD_PAYMENT_OPTIONS),
                          owner, &CLintroveInfoDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (failure_)
        std::rethrow_exception(std::exchange(failure_, nullptr));
    return result;
}

INT_PTR CALLBACK CLintroveInfoDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CLintroveInfoDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CLintroveInfoDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->m_hWnd = window;
    }
    // Messages before WM_INITDIALOG (WM_SETFONT and the like) get the default handling.
    if (!self)
        return FALSE;
    // The one boundary: an exception unwinding through the system's frames would end the host.
    try {
        return self->Dispatch(window, message, wParam, lParam);
    } catch (...) {
        if (!self->failure_)
            self->failure_ = std::current_exception();
        ::EndDialog(window, -1);
        return TRUE;
    }
}

INT_PTR CLintroveInfoDialog::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    const bool handled = ProcessWindowMessage(message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        m_hWnd = nullptr;
    }
    if (!handled)
        return FALSE;
    // WM_INITDIALOG and the colour messages return their result directly; the others through
    // DWLP_MSGRESULT.
    if (message == WM_INITDIALOG || message == WM_CTLCOLORSTATIC)
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}

bool CLintroveInfoDialog::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return true;
    case WM_CTLCOLORSTATIC: {
        // The two texts over the group boxes are drawn without a background of their own.
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (id != IDC_DEBIT_DATE_LABEL && id != IDC_LAYOUT_EXPLANATION)
            return false;
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        return true;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_LEDGERWAY_LAYOUT:
        case IDC_LINTROVE_LAYOUT:
            OnLayoutChosen(LOWORD(wParam));
            return true;
        case IDC_REMITTANCE_ADVICE:
            if (HIWORD(wParam) == BN_CLICKED)
                OnRemittanceClicked();
            return true;
        case IDOK:
            OnOk();
            return true;
        case IDCANCEL:
            OnCancel();
            return true;
        default:
            return false;
        }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (!header || header->code != DTN_DATETIMECHANGE)
            return false;
        OnDateTimeChange(*reinterpret_cast<const NMDATETIMECHANGE*>(lParam));
        return true;
    }
    default:
        return false;
    }
}

LRESULT CLintroveInfoDialog::OnInitDialog()
{
    CenterOnOwner();

    datePicker_ = GetDlgItem(IDC_DEBIT_DATE);
    remittanceCheckBox_ = GetDlgItem(IDC_REMITTANCE_ADVICE);

    datePicker_.SendMessage(DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>(kDateFormat));
    // A date the picker cannot show leaves it on its own (today's) date.
    SYSTEMTIME date{};
    if (VariantTimeToSystemTime(debitDate_, &date))
        datePicker_.SendMessage(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&date));

    remittanceCheckBox_.SendMessage(BM_SETCHECK, remittanceAdviceRequired_ ? BST_CHECKED : BST_UNCHECKED);

    // The account's stored choice wins over the caller's starting value.
    ReadSettingFlag(settings_, settingsKey_, &useLedgerwayLayout_);
    CheckRadioButton(m_hWnd, IDC_LEDGERWAY_LAYOUT, IDC_LINTROVE_LAYOUT,
                     useLedgerwayLayout_ ? IDC_LEDGERWAY_LAYOUT : IDC_LINTROVE_LAYOUT);
    EnableLedgerwayOptions();

    // 0: the system does not move the keyboard focus.
    return 0;
}

void CLintroveInfoDialog::EnableLedgerwayOptions()
{
    datePicker_.EnableWindow(useLedgerwayLayout_ != 0);
    remittanceCheckBox_.EnableWindow(useLedgerwayLayout_ != 0);
}

void CLintroveInfoDialog::OnLayoutChosen(int id)
{
    const int chosen = id == IDC_LEDGERWAY_LAYOUT ? 1 : 0;
    const bool changed = chosen != (useLedgerwayLayout_ ? 1 : 0);
    useLedgerwayLayout_ = chosen;
    EnableLedgerwayOptions();
    if (changed)
        changesMade_ = 1;
}

void CLintroveInfoDialog::OnRemittanceClicked()
{
    changesMade_ = 1;
    // The check box has already toggled its own mark; the flag follows what it shows.
    remittanceAdviceRequired_ = remittanceCheckBox_.SendMessage(BM_GETCHECK) == BST_CHECKED ? 1 : 0;
}

void CLintroveInfoDialog::OnOk()
{
    if (!ConfirmDebitDate())
        return;
    // A failed write only means the choice is not remembered; this run still uses it.
    WriteSettingFlag(settings_, settingsKey_, useLedgerwayLayout_);
    ::EndDialog(m_hWnd, IDOK);
}

bool CLintroveInfoDialog::ConfirmDebitDate()
{
    // The Lintrove layout carries no date.
    if (!rules_ || !useLedgerwayLayout_)
        return true;
    const DebitDateVerdict verdict = rules_->Check(static_cast<DaySerial>(std::floor(debitDate_)));
    if (verdict.What == DebitDateVerdict::None)
        return true;

    const std::string question = rules_->Question(verdict);
    std::wstring text(question.size() + 1, L'\0');
    const int length = platform::Utf8ToWide(question.data(), static_cast<int>(question.size()), &text[0],
                                            static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    switch (MessageBoxW(m_hWnd, text.c_str(), kDebitDateCaption, MB_ICONQUESTION | MB_YESNOCANCEL)) {
    case IDYES: {
        debitDate_ = static_cast<DATE>(verdict.Offered);
        // The picker shows what the run will write.
        SYSTEMTIME date{};
        if (VariantTimeToSystemTime(debitDate_, &date))
            datePicker_.SendMessage(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&date));
        return true;
    }
    case IDNO:
        // The user may know their bank better.
        return true;
    default:
        return false;
    }
}

void CLintroveInfoDialog::OnCancel()
{
    if (changesMade_ && MessageBoxA(m_hWnd, kChangesQuestion, kChangesCaption, MB_ICONQUESTION | MB_YESNO) != IDYES)
        return;
    ::EndDialog(m_hWnd, IDCANCEL);
}

void CLintroveInfoDialog::OnDateTimeChange(const NMDATETIMECHANGE& change)
{
    // GDT_NONE carries no date (only a picker with a "none" box sends it).
    if (change.dwFlags != GDT_VALID)
        return;
    SYSTEMTIME date = change.st;
    DATE converted = 0;
    if (SystemTimeToVariantTime(&date, &converted))
        debitDate_ = converted;
    changesMade_ = 1;
}

void CLintroveInfoDialog::CenterOnOwner(HWND centreOn)
{
    HWND reference = centreOn ? centreOn : GetWindow(m_hWnd, GW_OWNER);
    if (reference && (!IsWindowVisible(reference) || IsIconic(reference)))
        reference = nullptr;

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    const HMONITOR nearest = MonitorFromWindow(reference ? reference : m_hWnd, MONITOR_DEFAULTTONEAREST);
    if (!nearest || !GetMonitorInfoA(nearest, &monitor))
        return;
    const RECT work = monitor.rcWork;

    RECT area = work;
    if (reference)
        GetWindowRect(reference, &area);
    RECT dialog{};
    GetWindowRect(m_hWnd, &dialog);
    const int width = dialog.right - dialog.left;
    const int height = dialog.bottom - dialog.top;

    int x = (area.left + area.right) / 2 - width / 2;
    int y = (area.top + area.bottom) / 2 - height / 2;
    // The left and top edges win when the dialog is larger than the work area.
    if (x + width > work.right)
        x = work.right - width;
    if (x < work.left)
        x = work.left;
    if (y + height > work.bottom)
        y = work.bottom - height;
    if (y < work.top)
        y = work.top;

    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
