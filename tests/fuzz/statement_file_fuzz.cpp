// A whole statement file's bytes through the reader: the check of every line, then the second
// pass. What must hold: a file the check finds sound gives exactly as many records as it counted,
// and then no more, over the very bytes the check saw; a damaged file names a line that the file
// has.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "statements/balance_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    long lines = 1;
    for (size_t i = 0; i < size; ++i)
        lines += data[i] == '\n' && i + 1 < size;

    CBBM2BalanceFile reader;
    reader.Open(std::make_unique<MemoryByteSource>(data, size));
    const StatementFileCheck check = reader.CheckTransactions();
    if (check.Damaged) {
        if (check.Line < 1 || check.Line > lines || check.FurtherDamagedLines < 0)
            std::abort();
        return 0;
    }
    if (!reader.HasValidHeader())
        std::abort();  // a sound file begins with the column-name line
    CBMLWTransactionRecord record;
    long read = 0;
    while (reader.ReadTransaction(record) == StatementRead::Record)
        ++read;
    if (read != check.Transactions || reader.ReadTransaction(record) != StatementRead::End ||
        !reader.SameBytesAsChecked())
        std::abort();
    return 0;
}
