// Synthetic payment batches for trials and benchmarks: the same file for the same options.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace hostprogram {

struct GeneratorOptions {
    long Count = 0;
    // Share of the payments that fail the bank's checks, 0 to 1; the batch holds exactly
    // round(Count * InvalidShare) of them, placed at random.
    double InvalidShare = 0;
    std::uint64_t Seed = 1;
    // The paying account written into every payment.
    std::string PayerSortCode = "40-11-22";
    std::string PayerAccountNumber = "87654321";
};

// Writes the column-name line and the payments, lines ending in CR LF; returns how many payments
// were made invalid. Valid payments pass the checks of both layouts and invalid ones fail them in
// both (a short payee sort code, a payee account number of nine digits, or an amount that is not
// above 0), so the share holds whichever layout the batch is exported in.
long WriteSyntheticBatch(std::ostream& out, const GeneratorOptions& options);

}  // namespace hostprogram
