#include "hostprogram/report.h"

#include "hostprogram/program_text.h"
#include "hostprogram/report_table.h"

namespace hostprogram {

namespace {

std::string StatusWords(long status)
{
    switch (status) {
    case 0:
        return "0 (written, all passed)";
    case 1:
        return "1 (written, some failed)";
    case 2:
        return "2 (not written)";
    case 3:
        return "3 (nothing written: empty batch or cancelled)";
    default:
        return std::to_string(status) + " (not a status the module gives)";
    }
}

std::string ResultLine(HRESULT result, const std::string& description)
{
    std::string line = "Result: " + HResultText(result);
    if (FAILED(result) && !description.empty())
        line += ": " + description;
    return line;
}

// "Payments: N, P passed, F failed" and, when some were not reached, how many.
std::string PaymentCounts(const ExportOutcome& outcome, const PaymentTally& tally)
{
    std::string counts = "Payments: " + std::to_string(outcome.Codes.size()) + ", " + std::to_string(tally.Passed) +
                         " passed, " + std::to_string(tally.Failed) + " failed";
    if (tally.Untouched)
        counts += ", " + std::to_string(tally.Untouched) + " not reached";
    return counts;
}

}  // namespace

PaymentTally TallyPayments(const ExportOutcome& outcome)
{
    PaymentTally tally;
    for (long code : outcome.Codes)
        ++(code < 0 ? tally.Untouched : code == 0 ? tally.Passed : tally.Failed);
    return tally;
}

void PrintExport(std::ostream& out, const std::string& batch, bool table, const ExportRequest& request,
                 const ExportOutcome& outcome, const PaymentTally& tally)
{
    const bool unattended = request.Unattended;
    out << "Batch: " << batch << ", " << request.Payments.size()
        << (request.Payments.size() == 1 ? " payment" : " payments") << "\n";
    if (unattended) {
        out << "Dialogs:\n";
        if (outcome.Windows.empty())
            out << "  (none)\n";
        for (const SeenWindow& window : outcome.Windows) {
            out << "  \"" << window.Caption << "\"";
            if (!window.Text.empty())
                out << " \"" << window.Text << "\"";
            out << ": " << window.Answer << "\n";
        }
    }
    // Status 2 leaves no file: the module writes the whole batch or nothing.
    const bool written = SUCCEEDED(outcome.Result) && (outcome.Status == 0 || outcome.Status == 1);
    out << "Output file: " << (written && !outcome.ChosenPath.empty() ? outcome.ChosenPath : "none") << "\n";
    if (!outcome.RedirectedTo.empty())
        out << "Redirected to: " << outcome.RedirectedTo << "\n";
    out << ResultLine(outcome.Result, outcome.ErrorDescription) << "\n";
    out << "Status: "
        << (FAILED(outcome.Result) ? std::to_string(outcome.Status) + " (the run stopped with an error)"
                                   : StatusWords(outcome.Status))
        << "\n";

    out << PaymentCounts(outcome, tally) << "\n";

    if (table && !request.Payments.empty()) {
        const Table table({"Payment", "Line", "Payee", "Amount", "Code", "Result text"},
                          {true, true, false, true, true, false});
        out << "\n";
        table.Print(out, request.Payments.size(), [&](size_t i, Table::Row& row) {
            const BatchPayment& payment = request.Payments[i];
            const long code = outcome.Codes[i];
            row[0] = std::to_string(i + 1);
            row[1] = std::to_string(payment.Line);
            row[2] = Utf8(payment.Data.PayeeAccountName);
            row[3] = FormatAmount(payment.Data.Amount);
            row[4] = code < 0 ? "-" : std::to_string(code);
            row[5] = code < 0 ? "(not reached)" : outcome.Texts[i].empty() ? "(no text)" : outcome.Texts[i];
        });
    }
    // What the user read before the file was saved, as the window showed it, indented.
    for (const std::string& summary : outcome.Summaries) {
        out << "\nPayment Summary:\n";
        size_t start = 0;
        while (start < summary.size()) {
            size_t end = summary.find('\n', start);
            if (end == std::string::npos)
                end = summary.size();
            std::string line = summary.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            out << (line.empty() ? "" : "  ") << line << "\n";
            start = end + 1;
        }
    }
}

void PrintImport(std::ostream& out, const std::wstring& path, bool unattended, const ImportOutcome& outcome)
{
    out << "Statement file: " << Utf8(path) << "\n";
    out << "File filter: "
        << (outcome.FilterAnswer             ? "accepts it as \"" + outcome.FilterDescription + "\""
            : outcome.FilterNotAsked.empty() ? std::string("refuses it")
                                             : "not asked: " + outcome.FilterNotAsked)
        << "\n";
    if (unattended) {
        out << "Messages:";
        if (outcome.Messages.empty())
            out << " (none)";
        out << "\n";
        for (const ImportMessage& message : outcome.Messages) {
            out << "  \"" << message.Caption << "\" " << (message.Answered ? "answered OK" : "not answered: cancelled")
                << ":\n";
            std::string text = message.Text;
            for (size_t start = 0; start <= text.size();) {
                const size_t end = text.find('\n', start);
                out << "    " << text.substr(start, end == std::string::npos ? std::string::npos : end - start) << "\n";
                if (end == std::string::npos)
                    break;
                start = end + 1;
            }
        }
    }
    out << ResultLine(outcome.Result, outcome.ErrorDescription) << "\n";
    out << "Status: " << outcome.Status << (outcome.Status == 2 ? " (nothing imported)" : "") << "\n";
    out << "Statement: "
        << (outcome.Resets == 0
                ? "untouched"
                : "reset " + std::to_string(outcome.Resets) + (outcome.Resets == 1 ? " time" : " times"))
        << "\n";
    const long transactions = outcome.Statement ? outcome.Statement->KeptCount() : 0;
    out << "Transactions: " << transactions << "\n";
    if (transactions > 0) {
        const Table table({"Seq", "Date", "Amount", "Kind", "Details", "Reference", "Cheque"},
                          {true, false, true, false, false, false, false});
        out << "\n";
        table.Print(out, static_cast<size_t>(transactions), [&](size_t index, Table::Row& row) {
            const standin::TransactionData transaction = outcome.Statement->KeptTransaction(static_cast<long>(index));
            row[0] = transaction.SequenceType == VT_I4 ? std::to_string(transaction.Sequence)
                                                       : "VT " + std::to_string(transaction.SequenceType);
            row[1] = FormatDate(transaction.Date);
            row[2] = FormatReceivedAmount(transaction.Amount);
            row[3] = transaction.Receipt == 1 ? "receipt" : transaction.Receipt == 0 ? "payment" : "-";
            row[4] = Utf8(transaction.Details);
            row[5] = Utf8(transaction.Reference);
            row[6] = transaction.HasChequeNumber ? Utf8(transaction.ChequeNumber) : "";
        });
    }
}

}  // namespace hostprogram
