// The Payment Summary window: the summary's text in a read-only edit control the user can select
// and copy from, with "Save" (the default) and "Cancel". Modal, owned by the given window.
#pragma once

#include <windows.h>

#include <string>

extern const char kSummaryCaption[];

// Shows the text (UTF-8, CR LF lines) until the user answers: IDOK for Save, IDCANCEL for Cancel or
// the close box; -1 when the window could not be shown.
INT_PTR ShowPaymentSummary(HWND owner, const std::string& text);
