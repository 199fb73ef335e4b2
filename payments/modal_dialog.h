// The small window framework the module's dialogs are built on: a plain window handle wrapper, and
// a modal dialog template whose dialog procedure hands every message to the derived class's
// message map.
#pragma once

#include <windows.h>

// A window handle, not owned.
class CWindow {
public:
    CWindow() = default;
    explicit CWindow(HWND window) : m_hWnd(window) {}
    CWindow& operator=(HWND window)
    {
        m_hWnd = window;
        return *this;
    }
    operator HWND() const { return m_hWnd; }
    bool IsNull() const { return m_hWnd == nullptr; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL EnableWindow(bool enable) const { return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE); }

    HWND m_hWnd = nullptr;
};

// A modal dialog from a template of the module's resources. T names its template as T::IDD and
// answers messages in ProcessWindowMessage: true when it handled the message, with the result.
template <class T, class TBase = CWindow>
class CModalDialogImpl : public TBase {
public:
    CModalDialogImpl() = default;
    CModalDialogImpl(const CModalDialogImpl&) = delete;
    CModalDialogImpl& operator=(const CModalDialogImpl&) = delete;

    virtual bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    virtual ~CModalDialogImpl() = default;
    virtual DLGPROC GetDialogProc() { return &CModalDialogImpl::DialogProc; }
    // Called once the window is gone.
    virtual void OnFinalMessage(HWND) {}

    // Shows the dialog owned by owner and returns what EndDialog was given; -1 (or 0 for a bad
    // owner) when the dialog could not be created.
    INT_PTR DoModal(HINSTANCE instance, HWND owner)
    {
        return ::DialogBoxParamA(instance, MAKEINTRESOURCEA(T::IDD), owner, GetDialogProc(),
                                 reinterpret_cast<LPARAM>(this));
    }

    BOOL EndDialog(INT_PTR result) { return ::EndDialog(this->m_hWnd, result); }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<CModalDialogImpl*>(GetWindowLongPtrA(window, DWLP_USER));
        if (message == WM_INITDIALOG) {
            self = reinterpret_cast<CModalDialogImpl*>(lParam);
            SetWindowLongPtrA(window, DWLP_USER, lParam);
            self->m_hWnd = window;
        }
        // Messages before WM_INITDIALOG (WM_SETFONT and the like) get the default handling.
        if (!self)
            return FALSE;

        LRESULT result = 0;
        const bool handled = self->ProcessWindowMessage(window, message, wParam, lParam, result);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrA(window, DWLP_USER, 0);
            self->m_hWnd = nullptr;
            self->OnFinalMessage(window);
        }
        if (!handled)
            return FALSE;
        switch (message) {
        // These return their result directly; every other message through DWLP_MSGRESULT.
        case WM_INITDIALOG:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return static_cast<INT_PTR>(result);
        default:
            SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }
};
