// The answers a user gives the module's payment options dialog, as driver steps: the layout, and
// while the Ledgerway layout is chosen, the debit date and the remittance advice box. The control
// identifiers are the module's own.
#pragma once

#include <windows.h>

#include <string>

#include "modal/modal_driver.h"

namespace modal {

// The options dialog's caption.
extern const char kOptionsCaption[];
// The caption of the question OK asks about a debit date the bank cannot use.
extern const char kDebitDateCaption[];
// The caption of the message about a bank holiday list that cannot be used.
extern const char kHolidayListCaption[];

enum class OptionsLayout { AsOffered, Ledgerway, Lintrove };

struct OptionsAnswers {
    OptionsLayout Layout = OptionsLayout::AsOffered;
    bool HasDebitDate = false;
    SYSTEMTIME DebitDate{};
    int Remittance = -1;  // -1: as offered; 0: not required; 1: required
};

// Adds the steps that give the answers to script (without pressing OK or Cancel). The date and
// the remittance box belong to the Ledgerway layout: the dialog only lets them change while it is
// chosen, so they are left alone otherwise. A date the picker refuses is a problem of the record.
void AnswerOptions(Script& script, const OptionsAnswers& answers);

// The answer to the "Debit Date" question: IDYES takes the date offered, IDNO keeps the chosen one,
// IDCANCEL goes back to the options dialog. Adds the script for the next such question.
Script& AnswerDebitDateQuestion(ModalDriver& driver, int answer);

// Whether the dialog's check box or radio button id is checked.
bool Checked(HWND dialog, int id);

// The options dialog's choices as the user sees them: "Ledgerway layout, debit date 07/12/2026,
// remittance advice yes" or "Lintrove layout".
std::string DescribeOptions(HWND dialog);

}  // namespace modal
