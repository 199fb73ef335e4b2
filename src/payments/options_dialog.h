// The payment options dialog: the user picks the payment file layout (Ledgerway or Lintrove) and,
// for the Ledgerway layout, the debit date and whether remittance advice is required. The layout
// choice is remembered per paying account ("BMBUseLWFmt" followed by the account key suffix) and
// stored only when the user presses OK. Given the debit date rules, OK with a Ledgerway debit date
// the bank cannot use asks "Debit Date" first: Yes takes the date offered, No keeps the chosen one,
// Cancel goes back to the dialog.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <exception>

#include "payments/debit_date_rules.h"
#include "payments/payment_resources.h"
#include "settings/settings_store.h"
#include "support/cstring.h"

// A window handle, not owned.
class CWindow {
public:
    CWindow& operator=(HWND window)
    {
        m_hWnd = window;
        return *this;
    }
    operator HWND() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL EnableWindow(bool enable) const { return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE); }

    HWND m_hWnd = nullptr;
};

class CLintroveInfoDialog : public CWindow {
public:
    // The debit date and flags the dialog starts from; useLedgerwayLayout gives way to a choice
    // stored for the account.
    // The account's choice is read from and stored in the settings at that location. Without
    // rules (they must outlive the dialog) the debit date is taken as it is.
    CLintroveInfoDialog(DATE debitDate, int remittanceAdviceRequired, const CString& accountKeySuffix,
                        int useLedgerwayLayout, SettingsLocation settings = SettingsLocation(),
                        const DebitDateRules* rules = nullptr);
    ~CLintroveInfoDialog();
    CLintroveInfoDialog(const CLintroveInfoDialog&) = delete;
    CLintroveInfoDialog& operator=(const CLintroveInfoDialog&) = delete;

    // Shows the dialog modally: 1 after OK, 2 after Cancel, otherwise it could not be shown.
    // Whatever a message's handling raised (out of memory, the settings store) closes the dialog
    // and is raised again here, once the system's frames are left behind.
    INT_PTR DoModal(HWND owner);

    DATE DebitDate() const { return debitDate_; }
    int RemittanceAdviceRequired() const { return remittanceAdviceRequired_; }
    int UseLedgerwayLayout() const { return useLedgerwayLayout_; }
    int ChangesMade() const { return changesMade_; }
    const CString& SettingsKey() const { return settingsKey_; }

    // Centres the dialog on the given window, on its owner when none is given, or on the work
    // area of the nearest monitor when that window is hidden or minimised; keeps it on that work area.
    void CenterOnOwner(HWND centreOn = nullptr);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Answers one message: true when it handled it, with its result.
    bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    LRESULT OnInitDialog();
    void OnLayoutChosen(int id);
    void OnRemittanceClicked();
    void OnOk();
    // False when the user wants to go back to the dialog.
    bool ConfirmDebitDate();
    void OnCancel();
    void OnDateTimeChange(const NMDATETIMECHANGE& change);
    void EnableLedgerwayOptions();

    CWindow datePicker_;
    CWindow remittanceCheckBox_;
    int changesMade_ = 0;
    DATE debitDate_;
    int remittanceAdviceRequired_;
    int useLedgerwayLayout_;
    HMODULE commonControlsModule_ = nullptr;
    CString settingsKey_;
    SettingsLocation settings_;
    // What a message's handling raised, kept until DoModal raises it again.
    std::exception_ptr failure_;
    const DebitDateRules* rules_;
};

// The question's caption.
extern const wchar_t kDebitDateCaption[];
