// A whole statement file's bytes through the reader: the check of every line, then the second
// pass. What must hold: a file the check finds sound gives exactly as many records as it counted,
// and then no more; a damaged file names a line that the file has.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "statements/balance_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/brenmark-statement-fuzz-" + std::to_string(getpid()) + ".csv";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    long lines = 1;
    for (size_t i = 0; i < size; ++i)
        lines += data[i] == '\n' && i + 1 < size;

    CBBM2BalanceFile reader(path.c_str(), CBBM2BalanceFile::ReadText, CBBM2BalanceFile::Sharing::ReadersOnly);
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
    while (reader.ReadBalanceRecord(record))
        ++read;
    if (read != check.Transactions || reader.ReadBalanceRecord(record))
        std::abort();
    return 0;
}
