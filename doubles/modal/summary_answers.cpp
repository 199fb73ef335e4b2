#include "modal/summary_answers.h"

#include <windows.h>

#include "payments/payment_resources.h"

namespace modal {

const char kSummaryCaption[] = "Payment Summary";
const char kSummaryReading[] = "summary";

namespace {

std::string Utf8Text(HWND control)
{
    const int length = GetWindowTextLengthW(control);
    if (length <= 0)
        return std::string();
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, &wide[0], length + 1);
    if (copied <= 0)
        return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), copied, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), copied, &text[0], bytes, nullptr, nullptr);
    return text;
}

}  // namespace

void AnswerSummary(Script& script, SummaryAnswer answer)
{
    script.Run([](HWND window, WindowRecord& record) {
        Reading reading;
        reading.Label = kSummaryReading;
        reading.State = ReadControl(GetDlgItem(window, IDC_SUMMARY_TEXT));
        reading.State.Text = Utf8Text(reading.State.Window);
        record.Readings.push_back(reading);
    });
    script.Press(answer == SummaryAnswer::Save ? IDOK : IDCANCEL);
}

void AlwaysAnswerSummary(ModalDriver& driver, SummaryAnswer answer)
{
    AnswerSummary(driver.Always(kSummaryCaption), answer);
}

std::vector<std::string> SummaryTexts(const ModalDriver& driver)
{
    std::vector<std::string> texts;
    for (const WindowRecord* window : driver.WithCaption(kSummaryCaption)) {
        const ControlState* text = window->Read(kSummaryReading);
        texts.push_back(text ? text->Text : std::string());
    }
    return texts;
}

}  // namespace modal
