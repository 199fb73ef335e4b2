// The payment file's amount text against the C library's "%.2f" on every finite double
// (differential: glibc rounds the exact binary value, ties to even, as the payment files need).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "payments/payment_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < sizeof(double))
        return 0;
    double amount = 0;
    std::memcpy(&amount, data, sizeof amount);
    if (!std::isfinite(amount))
        return 0;
    char expected[400];
    std::snprintf(expected, sizeof expected, "%.2f", amount);
    char text[kAmountTextSize];
    const int length = FormatAmountInto(amount, text);
    if (length != static_cast<int>(std::strlen(text)) || std::strcmp(text, expected) != 0) {
        std::fprintf(stderr, "%.17g: %s, expected %s\n", amount, text, expected);
        std::abort();
    }
    return 0;
}
