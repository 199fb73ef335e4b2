#include "payments/summary_window.h"

#include <vector>

#include "payments/payment_resources.h"
#include "support/platform.h"

const char kSummaryCaption[] = "Payment Summary";

namespace {

struct SummaryState {
    const std::wstring* Text;
};

INT_PTR CALLBACK SummaryProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing may leave a window procedure: the system's loop would not know what to do with it.
    try {
        switch (message) {
        case WM_INITDIALOG: {
            const auto* state = reinterpret_cast<const SummaryState*>(lParam);
            const HWND edit = GetDlgItem(window, IDC_SUMMARY_TEXT);
            // Text set by the program is not bound by the user's typing limit, but some systems
            // apply it anyway: a summary of many payees is long.
            SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
            SetWindowTextW(edit, state->Text->c_str());
            // The focus on Save: on the edit control the whole text would start selected.
            SetFocus(GetDlgItem(window, IDOK));
            return FALSE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDOK:
            case IDCANCEL:
                EndDialog(window, LOWORD(wParam));
                return TRUE;
            default:
                return FALSE;
            }
        default:
            return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

INT_PTR ShowPaymentSummary(HWND owner, const std::string& text)
{
    std::vector<wchar_t> wide(text.size() + 1, L'\0');
    if (!text.empty() && platform::Utf8ToWide(text.data(), static_cast<int>(text.size()), wide.data(),
                                              static_cast<int>(wide.size())) == 0)
        return -1;
    const std::wstring shown(wide.data());
    SummaryState state{&shown};
    return DialogBoxParamW(static_cast<HINSTANCE>(platform::ResourceModule()), MAKEINTRESOURCEW(IDD_PAYMENT_SUMMARY),
                           owner, &SummaryProc, reinterpret_cast<LPARAM>(&state));
}
