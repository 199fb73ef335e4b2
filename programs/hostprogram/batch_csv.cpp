#include "hostprogram/batch_csv.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "hostprogram/csv_reader.h"
#include "hostprogram/program_text.h"

namespace hostprogram {

namespace {

enum class Column {
    PayerSortCode,
    PayerAccountNumber,
    PayerAccountName,
    PayeeSortCode,
    PayeeAccountNumber,
    PayeeAccountName,
    PayeeBacsReference,
    PayeeRollNumber,
    Amount,
    Details,
    RtiReference,
    IsRti,
    Count
};

constexpr size_t kColumnCount = static_cast<size_t>(Column::Count);

bool Required(Column column)
{
    return column == Column::PayeeSortCode || column == Column::PayeeAccountNumber ||
           column == Column::PayeeAccountName || column == Column::Amount;
}

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

bool ParseInteger(const std::string& text, long* value)
{
    const std::string trimmed = Trimmed(text);
    if (trimmed.empty()) {
        *value = 0;
        return true;
    }
    size_t at = trimmed[0] == '-' || trimmed[0] == '+' ? 1 : 0;
    if (at == trimmed.size())
        return false;
    for (size_t i = at; i < trimmed.size(); ++i) {
        if (trimmed[i] < '0' || trimmed[i] > '9')
            return false;
    }
    errno = 0;
    const long long parsed = std::strtoll(trimmed.c_str(), nullptr, 10);
    if (errno == ERANGE || parsed < -2147483647LL - 1 || parsed > 2147483647LL)
        return false;
    *value = static_cast<long>(parsed);
    return true;
}

// Where each column of the file goes.
struct Header {
    std::vector<Column> FileColumns;  // per field of the file
    std::vector<std::string> Names;   // as the file wrote them
    bool Has[kColumnCount] = {};
};

Header ReadHeader(LineReader& reader)
{
    std::string line;
    if (!reader.Next(&line))
        throw InputError(Located(reader.Path(), 0, "", "the file is empty: it needs a column-name line"));
    // A byte-order mark is how some editors start UTF-8 files; it is not part of the first name.
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0)
        line.erase(0, 3);
    std::vector<std::string> fields;
    CsvProblem problem;
    if (!SplitCsvLine(line, &fields, &problem))
        throw InputError(Located(reader.Path(), 1, "column " + std::to_string(problem.Field + 1), problem.What));

    Header header;
    const std::vector<std::string>& known = BatchColumns();
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string name = Trimmed(fields[i]);
        size_t found = kColumnCount;
        for (size_t k = 0; k < kColumnCount; ++k) {
            if (SameName(name, known[k]))
                found = k;
        }
        if (found == kColumnCount) {
            std::string list;
            for (const std::string& column : known)
                list += (list.empty() ? "" : ", ") + column;
            throw InputError(
                Located(reader.Path(), 1, "column " + std::to_string(i + 1),
                        (name.empty() ? std::string("no name") : Quoted(name) + " is not a payment field") +
                            " (the columns are " + list + ")"));
        }
        if (header.Has[found]) {
            size_t first = 0;
            while (header.FileColumns[first] != static_cast<Column>(found))
                ++first;
            throw InputError(
                Located(reader.Path(), 1, known[found],
                        "named twice (columns " + std::to_string(first + 1) + " and " + std::to_string(i + 1) + ")"));
        }
        header.Has[found] = true;
        header.FileColumns.push_back(static_cast<Column>(found));
        header.Names.push_back(name);
    }
    for (size_t k = 0; k < kColumnCount; ++k) {
        if (Required(static_cast<Column>(k)) && !header.Has[k])
            throw InputError(Located(reader.Path(), 1, known[k], "missing from the column-name line"));
    }
    return header;
}

}  // namespace

const std::vector<std::string>& BatchColumns()
{
    static const std::vector<std::string> columns = {"PayerSortCode",
                                                     "PayerAccountNumber",
                                                     "PayerAccountName",
                                                     "PayeeSortCode",
                                                     "PayeeAccountNumber",
                                                     "PayeeAccountName",
                                                     "PayeeBacsReference",
                                                     "PayeeRollNumber",
                                                     "Amount",
                                                     "Details",
                                                     "RtiReference",
                                                     "IsRti"};
    return columns;
}

bool ParseAmount(const std::string& text, double* amount)
{
    const std::string trimmed = Trimmed(text);
    size_t at = 0;
    if (at < trimmed.size() && (trimmed[at] == '-' || trimmed[at] == '+'))
        ++at;
    size_t digits = 0;
    while (at < trimmed.size() && trimmed[at] >= '0' && trimmed[at] <= '9') {
        ++at;
        ++digits;
    }
    if (at < trimmed.size() && trimmed[at] == '.') {
        ++at;
        while (at < trimmed.size() && trimmed[at] >= '0' && trimmed[at] <= '9') {
            ++at;
            ++digits;
        }
    }
    if (digits == 0 || at != trimmed.size())
        return false;
    errno = 0;
    const double parsed = std::strtod(trimmed.c_str(), nullptr);
    if (errno == ERANGE || !std::isfinite(parsed))
        return false;
    *amount = parsed;
    return true;
}

std::vector<BatchPayment> ReadPaymentBatch(const std::string& path, const BatchDefaults& defaults)
{
    LineReader reader(path);
    const Header header = ReadHeader(reader);
    const std::vector<std::string>& known = BatchColumns();

    std::vector<BatchPayment> payments;
    std::string line;
    std::vector<std::string> fields;
    while (reader.Next(&line)) {
        const long number = reader.LineNumber();
        if (line.empty())
            continue;
        auto fieldName = [&](size_t index) {
            return index < header.FileColumns.size() ? known[static_cast<size_t>(header.FileColumns[index])]
                                                     : "field " + std::to_string(index + 1);
        };
        CsvProblem problem;
        if (!SplitCsvLine(line, &fields, &problem))
            throw InputError(Located(path, number, fieldName(problem.Field), problem.What));
        if (fields.size() < header.FileColumns.size())
            throw InputError(Located(path, number, fieldName(fields.size()),
                                     "missing: the line has " + std::to_string(fields.size()) +
                                         " fields, the column-name line names " +
                                         std::to_string(header.FileColumns.size())));
        if (fields.size() > header.FileColumns.size())
            throw InputError(Located(path, number, fieldName(header.FileColumns.size()),
                                     "not named in the column-name line: the line has " +
                                         std::to_string(fields.size()) + " fields, the column-name line names " +
                                         std::to_string(header.FileColumns.size())));

        BatchPayment payment;
        payment.Line = number;
        standin::PaymentData& data = payment.Data;
        data.OffersRti = defaults.OffersRti;
        data.PayerSortCode = defaults.PayerSortCode;
        data.PayerAccountNumber = defaults.PayerAccountNumber;
        for (size_t i = 0; i < fields.size(); ++i) {
            const Column column = header.FileColumns[i];
            const std::string& field = fields[i];
            const std::string& name = known[static_cast<size_t>(column)];
            if (column == Column::Amount) {
                if (!ParseAmount(field, &data.Amount))
                    throw InputError(Located(path, number, name,
                                             field.empty() ? "empty: a payment needs an amount"
                                                           : Quoted(field) + " is not a decimal number"));
                continue;
            }
            if (column == Column::IsRti) {
                if (!ParseInteger(field, &data.IsRti))
                    throw InputError(Located(path, number, name, Quoted(field) + " is not a whole number (0 or 1)"));
                continue;
            }
            std::wstring text;
            if (!Utf8ToWide(field, &text))
                throw InputError(Located(path, number, name, "not UTF-8 text"));
            if (text.find(L'\0') != std::wstring::npos)
                throw InputError(Located(path, number, name, "holds a zero character"));
            switch (column) {
            case Column::PayerSortCode:
                data.PayerSortCode = text;
                break;
            case Column::PayerAccountNumber:
                data.PayerAccountNumber = text;
                break;
            case Column::PayerAccountName:
                data.PayerAccountName = text;
                break;
            case Column::PayeeSortCode:
                data.PayeeSortCode = text;
                break;
            case Column::PayeeAccountNumber:
                data.PayeeAccountNumber = text;
                break;
            case Column::PayeeAccountName:
                data.PayeeAccountName = text;
                break;
            case Column::PayeeBacsReference:
                data.PayeeBacsReference = text;
                break;
            case Column::PayeeRollNumber:
                data.PayeeRollNumber = text;
                break;
            case Column::Details:
                data.Details = text;
                break;
            case Column::RtiReference:
                data.RtiReference = text;
                break;
            default:
                break;
            }
        }
        payments.push_back(std::move(payment));
    }
    return payments;
}

}  // namespace hostprogram
