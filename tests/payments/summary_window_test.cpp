// The Payment Summary window through real window messages: its text as given (any script, any
// length), read-only and selectable, Save the default button with the focus; Escape and the close
// box answer Cancel.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "modal/modal_driver.h"
#include "modal/summary_answers.h"
#include "payments/payment_resources.h"
#include "payments/summary_window.h"
#include "tests/support/com_test.h"

namespace {

// A summary of many payees: longer than an edit control takes from a user's typing.
std::string LongText()
{
    std::string text = "Payment file: C:\\Payments\\Soci\xC3\xA9t\xC3\xA9 G\xC3\xA9n\xC3\xA9rale.csv\r\n";
    for (int i = 0; i < 2000; ++i)
        text += "    Payee " + std::to_string(i) + ": new payee, sort code 12-34-56, account 12345678\r\n";
    return text;
}

}  // namespace

class SummaryWindowTest : public ComTest {};

TEST_F(SummaryWindowTest, ShowsTheWholeTextReadOnlyWithSaveAsTheDefault)
{
    const std::string text = LongText();
    modal::ModalDriver driver;
    modal::Script& script = driver.On(modal::kSummaryCaption);
    LRESULT defaultButton = 0;
    HWND focus = nullptr;
    HWND saveButton = nullptr;
    script.Run([&](HWND window, modal::WindowRecord&) {
        defaultButton = SendMessageW(window, DM_GETDEFID, 0, 0);
        focus = GetFocus();
        saveButton = GetDlgItem(window, IDOK);
    });
    modal::AnswerSummary(script, modal::SummaryAnswer::Save);

    EXPECT_EQ(IDOK, ShowPaymentSummary(nullptr, text));

    ASSERT_EQ(1u, driver.Windows().size()) << driver.Summary();
    EXPECT_EQ(std::vector<std::string>{text}, modal::SummaryTexts(driver));
    const modal::ControlState* edit = driver.Windows()[0].Read(modal::kSummaryReading);
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ(IDC_SUMMARY_TEXT, edit->Id);
    EXPECT_NE(0u, edit->Style & ES_READONLY);
    EXPECT_NE(0u, edit->Style & ES_MULTILINE);
    EXPECT_TRUE(edit->Enabled);  // selectable and copyable, not greyed
    EXPECT_EQ(MAKELRESULT(IDOK, DC_HASDEFID), defaultButton);
    EXPECT_EQ(saveButton, focus);
    const modal::ControlState* save = driver.Windows()[0].Control(IDOK);
    const modal::ControlState* cancel = driver.Windows()[0].Control(IDCANCEL);
    ASSERT_TRUE(save && cancel);
    EXPECT_EQ("Save", save->Text);
    EXPECT_EQ("Cancel", cancel->Text);
}

TEST_F(SummaryWindowTest, EscapeAndTheCloseBoxAnswerCancel)
{
    {
        modal::ModalDriver driver;
        driver.On(modal::kSummaryCaption).Escape();
        EXPECT_EQ(IDCANCEL, ShowPaymentSummary(nullptr, "Payment file: x\r\n"));
        EXPECT_EQ(0, driver.UnexpectedCount()) << driver.Summary();
    }
    {
        modal::ModalDriver driver;
        driver.On(modal::kSummaryCaption).Close();
        EXPECT_EQ(IDCANCEL, ShowPaymentSummary(nullptr, "Payment file: x\r\n"));
        EXPECT_EQ(0, driver.UnexpectedCount()) << driver.Summary();
    }
    {
        modal::ModalDriver driver;
        driver.On(modal::kSummaryCaption).Press(IDCANCEL);
        EXPECT_EQ(IDCANCEL, ShowPaymentSummary(nullptr, ""));
        EXPECT_EQ(0, driver.UnexpectedCount()) << driver.Summary();
    }
}
