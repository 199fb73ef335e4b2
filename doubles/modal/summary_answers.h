// The answer a user gives the module's Payment Summary, as driver steps: the summary's text read
// (as UTF-8, under the label kSummaryReading), then Save or Cancel.
#pragma once

#include <string>
#include <vector>

#include "modal/modal_driver.h"

namespace modal {

extern const char kSummaryCaption[];
extern const char kSummaryReading[];

enum class SummaryAnswer { Save, Cancel };

// Adds the steps to script.
void AnswerSummary(Script& script, SummaryAnswer answer);

// Every Payment Summary the driver meets is answered so (the shared default of tests, the sample
// host and the benchmark: Save).
void AlwaysAnswerSummary(ModalDriver& driver, SummaryAnswer answer = SummaryAnswer::Save);

// The text of each Payment Summary the driver met, in order.
std::vector<std::string> SummaryTexts(const ModalDriver& driver);

}  // namespace modal
