#include "samplehost/host_import.h"

#include "samplehost/csv_reader.h"
#include "samplehost/program_text.h"

namespace hostprogram {

const char kStatementColumns[] = "TransDate,ValueDate,InToday,Amount,Details,TransCode,RFR,ChequeNo";
const char kQuotedStatementColumns[] =
    "\"TransDate\",\"ValueDate\",\"InToday\",\"Amount\",\"Details\",\"TransCode\",\"RFR\",\"ChequeNo\"";

namespace {

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
    if (SameIgnoringCase(first, kStatementColumns) || SameIgnoringCase(first, kQuotedStatementColumns))
        return true;
    *why = "the first line is not the column-name line " + std::string(kStatementColumns) + " (quoted or not)";
    if (first.compare(0, 3, "\xEF\xBB\xBF") == 0)
        *why += ": it starts with a UTF-8 byte-order mark";
    else if (first.find_first_of(" \t") != std::string::npos)
        *why += ": it holds spaces";
    return false;
}

ImportOutcome RunImport(HostSession& session, const std::wstring& path)
{
    ImportOutcome outcome;
    standin::FileChooser& chooser = session.Chooser();
    chooser.ShowResult = 0;
    chooser.FileName = path;

    standin::Statement statement;
    ComPtr<ITolvarBankStatementService> service = session.StatementService();

    SetErrorInfo(0, nullptr);
    outcome.Result = service->ImportStatement(nullptr, statement.Get());
    if (FAILED(outcome.Result))
        outcome.ErrorDescription = TakeErrorDescription();
    long status = -1;
    if (SUCCEEDED(service->get_Status(&status)))
        outcome.Status = status;
    outcome.Transactions = statement.Transactions();
    outcome.Resets = statement.ResetCount();

    // The chooser would have offered the file only if the module's filter accepts it; the filter
    // lives in the module, which the service keeps loaded.
    std::string ansiPath;
    if (chooser.HasSettings() && WideToAnsi(path, &ansiPath))
        outcome.FilterAnswer = chooser.AskFilter(ansiPath, &outcome.FilterDescription);
    return outcome;
}

}  // namespace hostprogram
