#include "modal/options_answers.h"

#include "payments/payment_resources.h"

namespace modal {

const char kOptionsCaption[] = "Brenmark Ledgerway/Lintrove Payment Processing";
const char kDebitDateCaption[] = "Debit Date";
const char kHolidayListCaption[] = "Bank Holidays";

Script& AnswerDebitDateQuestion(ModalDriver& driver, int answer)
{
    return driver.On(kDebitDateCaption).Press(answer);
}

bool Checked(HWND dialog, int id)
{
    return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void AnswerOptions(Script& script, const OptionsAnswers& answers)
{
    if (answers.Layout == OptionsLayout::Ledgerway)
        script.Click(IDC_LEDGERWAY_LAYOUT);
    else if (answers.Layout == OptionsLayout::Lintrove)
        script.Click(IDC_LINTROVE_LAYOUT);
    if (!answers.HasDebitDate && answers.Remittance < 0)
        return;
    script.Run([answers](HWND dialog, WindowRecord& record) {
        if (!Checked(dialog, IDC_LEDGERWAY_LAYOUT))
            return;
        if (answers.HasDebitDate && !SetPickerDate(GetDlgItem(dialog, IDC_DEBIT_DATE), answers.DebitDate))
            record.Problems.push_back("the debit date could not be set");
        if (answers.Remittance >= 0 && Checked(dialog, IDC_REMITTANCE_ADVICE) != (answers.Remittance == 1))
            PostMessageA(GetDlgItem(dialog, IDC_REMITTANCE_ADVICE), BM_CLICK, 0, 0);
    });
}

std::string DescribeOptions(HWND dialog)
{
    if (!Checked(dialog, IDC_LEDGERWAY_LAYOUT))
        return "Lintrove layout";
    char date[64] = {};
    GetWindowTextA(GetDlgItem(dialog, IDC_DEBIT_DATE), date, sizeof date);
    return std::string("Ledgerway layout, debit date ") + date + ", remittance advice " +
           (Checked(dialog, IDC_REMITTANCE_ADVICE) ? "yes" : "no");
}

}  // namespace modal
