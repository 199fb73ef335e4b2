// One statement line into the line rules and the transaction record. What must hold: a line the
// rules call a transaction fills the record; a filled record's amount is a sum in whole pence and
// its date a day; a line the record refuses leaves it as it was; a damaged line's found text is
// short and holds no control bytes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "statements/statement_lines.h"
#include "statements/transaction_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    for (bool requireUtf8 : {false, true}) {
        StatementLineDamage damage;
        const StatementLineKind kind = ReadStatementLine(line, requireUtf8, &damage).Kind;
        if (kind == StatementLineKind::Damaged) {
            if (damage.Found.size() > 83 || damage.Expected.empty())
                std::abort();
            for (char c : damage.Found)
                if (static_cast<unsigned char>(c) < 0x20)
                    std::abort();
        }
    }

    CBMLWTransactionRecord record;
    const bool transaction = ReadStatementLine(line, false, nullptr).Kind == StatementLineKind::Transaction;
    if (!FillTransactionRecord(ReadStatementLine(line, false, nullptr), record)) {
        if (transaction)
            std::abort();  // a transaction line must fill the record
        if (record.GetAmount() != 0 || record.GetTransDate() != 0 || record.GetDetails().GetLength() != 0)
            std::abort();  // a refused line leaves the record as it was
        return 0;
    }
    const double pence = record.GetAmount() * 100;
    if (!std::isfinite(pence) || std::fabs(pence - std::nearbyint(pence)) > 1e-3 * std::fmax(1, std::fabs(pence)) ||
        std::fabs(record.GetAmount()) >= 1e12)
        std::abort();
    if (record.GetTransDate() < -657434 || record.GetTransDate() > 2958465 ||
        record.GetTransDate() != std::floor(record.GetTransDate()))
        std::abort();
    return 0;
}
