#include "hostprogram/batch_generator.h"

#include <cmath>
#include <cstdio>

#include "hostprogram/batch_csv.h"

namespace hostprogram {

namespace {

// SplitMix64: small, fast and the same on every platform (the standard distributions are not).
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 to bound - 1.
    std::uint64_t Below(std::uint64_t bound) { return bound ? Next() % bound : 0; }
    // Uniform in [0, 1).
    double Fraction() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t state_;
};

std::string Digits(Random& random, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text.push_back(static_cast<char>('0' + random.Below(10)));
    return text;
}

std::string SortCode(const std::string& digits)
{
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && i % 2 == 0)
            text.push_back('-');
        text.push_back(digits[i]);
    }
    return text;
}

const char* const kPayees[] = {"A. Baker",         "Smith & Sons Ltd.", "Hill Farm Supplies", "J. Patel",
                               "Northgate Motors", "R. O. Evans",       "Blue Door Bakery",   "M. Kowalski",
                               "Green-Lane Cars",  "T. Okafor"};
const char* const kDetails[] = {"Invoice", "Wages", "Refund", "Rent", "Expenses", "Supplies"};

}  // namespace

long WriteSyntheticBatch(std::ostream& out, const GeneratorOptions& options)
{
    const std::vector<std::string>& columns = BatchColumns();
    for (size_t i = 0; i < columns.size(); ++i)
        out << (i ? "," : "") << columns[i];
    out << "\r\n";

    const long count = options.Count > 0 ? options.Count : 0;
    double share = options.InvalidShare;
    if (!(share >= 0))
        share = 0;
    if (share > 1)
        share = 1;
    const long invalidTotal = static_cast<long>(std::llround(static_cast<double>(count) * share));

    Random random(options.Seed);
    long invalidLeft = invalidTotal;
    for (long index = 0; index < count; ++index) {
        // Selection sampling: exactly invalidTotal of the count payments, each set equally likely.
        const long left = count - index;
        const bool invalid =
            invalidLeft > 0 && random.Below(static_cast<std::uint64_t>(left)) < static_cast<std::uint64_t>(invalidLeft);
        if (invalid)
            --invalidLeft;

        std::string payeeSortCode = SortCode(Digits(random, 6));
        std::string payeeAccount = Digits(random, 8);
        const char* payee = kPayees[random.Below(sizeof kPayees / sizeof kPayees[0])];
        const std::string bacsReference = std::to_string(1 + random.Below(9999));
        const bool withRoll = random.Below(10) == 0;
        const std::string rollNumber = withRoll ? "RN/" + Digits(random, 4) + "-" + Digits(random, 2) : "";
        const std::uint64_t pence = 100 + random.Below(499900);  // 1.00 to 4999.99
        char amount[32];
        std::snprintf(amount, sizeof amount, "%llu.%02llu", static_cast<unsigned long long>(pence / 100),
                      static_cast<unsigned long long>(pence % 100));
        std::string amountText = amount;
        const std::string details =
            std::string(kDetails[random.Below(sizeof kDetails / sizeof kDetails[0])]) + " " + std::to_string(index + 1);
        const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::string rti = "/";
        for (int i = 0; i < 3; ++i)
            rti.push_back(alphabet[random.Below(sizeof alphabet - 1)]);
        const bool isRti = random.Below(2) == 0;

        if (invalid) {
            switch (random.Below(3)) {
            case 0:
                payeeSortCode = payeeSortCode.substr(0, payeeSortCode.size() - 1);
                break;
            case 1:
                payeeAccount += Digits(random, 1);
                break;
            default:
                amountText = random.Below(2) ? "0.00" : "-" + amountText;
                break;
            }
        }

        out << options.PayerSortCode << ',' << options.PayerAccountNumber << ",Sample Payroll Ltd," << payeeSortCode
            << ',' << payeeAccount << ',' << payee << ',' << bacsReference << ',' << rollNumber << ',' << amountText
            << ',' << details << ',' << rti << ',' << (isRti ? 1 : 0) << "\r\n";
    }
    return invalidTotal;
}

}  // namespace hostprogram
