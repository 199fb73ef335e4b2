#include "hostprogram/host_import.h"

#include <memory>

#include "core/statement_columns.h"
#include "hostprogram/csv_reader.h"
#include "hostprogram/program_text.h"
#include "support/text_conversion.h"

namespace hostprogram {

const char kImportMessageCaption[] = "Statement Import";

namespace {

// The driver reads window texts in the ANSI code page; the program prints UTF-8.
std::string AnsiToUtf8(const std::string& text)
{
    return Utf8FromWide(WideFromAnsi(text));
}

bool SameIgnoringCase(const std::string& a, const char* b)
{
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b, -1) ==
           CSTR_EQUAL;
}

}  // namespace

bool CheckStatementFile(const std::string& path, std::string* why)
{
    LineReader reader(path);
    std::string first;
    if (!reader.Next(&first)) {
        *why = "the file is empty";
        return false;
    }
    // Spreadsheet programs mark the CSV files they save as UTF-8 so; the module reads them.
    if (first.compare(0, 3, "\xEF\xBB\xBF") == 0)
        first.erase(0, 3);
    if (SameIgnoringCase(first, StatementColumnLine(false).c_str()) ||
        SameIgnoringCase(first, StatementColumnLine(true).c_str()))
        return true;
    *why = "the first line is not the column-name line " + StatementColumnLine() + " (quoted or not)";
    if (first.find_first_of(" \t") != std::string::npos)
        *why += ": it holds spaces";
    return false;
}

ImportOutcome RunImport(HostSession& session, const std::wstring& path, bool unattended)
{
    ImportOutcome outcome;
    standin::FileChooser& chooser = session.Chooser();
    chooser.ShowResult = 0;
    chooser.FileName = path;

    // A host keeps no record of the module's calls; it keeps what each transaction received.
    outcome.Statement = std::make_unique<standin::Statement>();
    standin::Statement& statement = *outcome.Statement;
    statement.RecordTransactionCalls(false);
    ComPtr<ITolvarBankStatementService> service = session.StatementService();

    std::unique_ptr<modal::ModalDriver> driver;
    if (unattended) {
        driver = std::make_unique<modal::ModalDriver>();
        // The module tells of a file it refuses, or of a statement it had to empty again.
        driver->On(kImportMessageCaption).Press(IDOK);
    }
    SetErrorInfo(0, nullptr);
    outcome.Result = service->ImportStatement(nullptr, statement.Get());
    if (driver) {
        for (const modal::WindowRecord& record : driver->Windows())
            outcome.Messages.push_back(
                {AnsiToUtf8(record.Caption), AnsiToUtf8(record.Text), record.Scripted && !record.LeftOpen});
    }
    if (FAILED(outcome.Result))
        outcome.ErrorDescription = TakeErrorDescription();
    long status = -1;
    if (SUCCEEDED(service->get_Status(&status)))
        outcome.Status = status;
    outcome.Resets = statement.ResetCount();

    // The chooser would have offered the file only if the module's filter accepts it; the filter
    // lives in the module, which the service keeps loaded.
    if (chooser.HasSettings())
        outcome.FilterAnswer = chooser.AskFilter(path, &outcome.FilterDescription, &outcome.FilterNotAsked);
    return outcome;
}

}  // namespace hostprogram
