// One payment export as the host product runs it: the batch and the paying account handed to the
// payment service's ExportPayments, the module's dialogs answered (by the user, or from the
// program's options through the modal-UI driver), and what the run reported.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "hostprogram/batch_csv.h"
#include "hostprogram/host_session.h"
#include "modal/options_answers.h"
#include "modal/summary_answers.h"

namespace hostprogram {

using modal::kOptionsCaption;
extern const char kInvalidPathCaption[];
extern const char kRedirectCaption[];
extern const char kWriteFailureCaption[];

using Layout = modal::OptionsLayout;

// How the module's dialogs are answered when nobody is at the screen: the options dialog's
// choices (the base), and the other windows.
struct DialogAnswers : modal::OptionsAnswers {
    bool CancelOptions = false;
    bool CancelSave = false;
    bool OpenRedirectFolder = false;    // the answer to the "Windows Redirect" notice
    bool TakeOfferedDebitDate = false;  // the answer to the "Debit Date" question
    std::wstring OutputPath;            // full path, in any script, typed into the save dialog
    bool OutputExists = false;          // the save dialog will ask before replacing it
    bool CancelSummary = false;         // the answer to the Payment Summary: Cancel, else Save
};

struct ExportRequest {
    std::vector<BatchPayment> Payments;
    bool HasAccount = false;  // without one the run gets no payment context
    std::wstring SortCode, AccountNumber;
    bool Unattended = true;
    // The day the module takes for today (YYYY-MM-DD); empty for the machine's.
    std::string Today;
    DialogAnswers Answers;
    // What the host settings object proposes (ANSI).
    std::string DefaultFileName = "PAYMENTS.CSV", Extension = "csv", DefaultDirectory = "C:\\";
};

// A window the module (or the save dialog) showed during the run.
struct SeenWindow {
    std::string Caption;
    std::string Text;    // a message box's message, on one line
    std::string Answer;  // how it was answered; "" when nothing answered it
    bool Expected = true;
    bool Trouble = false;  // not expected, left open, or a step that could not be carried out
};

struct ExportOutcome {
    HRESULT Result = E_FAIL;
    std::string ErrorDescription;
    long Status = -1;
    std::vector<long> Codes;             // per payment; -1 when the module put none
    std::vector<std::string> Texts;      // GetResultText of each code; "" when it gave none
    std::vector<SeenWindow> Windows;     // unattended runs only
    std::string ChosenPath;              // the file the save dialog gave the module, UTF-8 ("" when none)
    std::string RedirectedTo;            // the VirtualStore path the redirect notice named, UTF-8
    std::vector<std::string> Summaries;  // the text of each Payment Summary shown (UTF-8, CR LF lines)
    int UnexpectedWindows = 0;
    int Problems = 0;  // answers that could not be given as asked
};

ExportOutcome RunExport(HostSession& session, const ExportRequest& request);

}  // namespace hostprogram
