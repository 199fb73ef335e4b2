// The bank's name, as the module shows it and as it hands it to the host settings object, which
// keys each bank's settings by it.
#pragma once

#include <cstddef>
#include <cstring>

#include "TolvarEBanking.h"
#include "core/com_ptr.h"
#include "core/method_frame.h"

// The bank's display name, also handed to the host settings object as a zero-filled ANSI buffer.
inline constexpr char BankDisplayName[] = "Brenmark Fenlow Online Plus";

// Fills a host settings record with the bank's name followed by zeros to its full size.
template <size_t Size>
void FillBankName(char (&record)[Size])
{
    static_assert(Size >= sizeof BankDisplayName, "the bank name must fit the host's record");
    std::memset(record, 0, Size);
    std::memcpy(record, BankDisplayName, sizeof BankDisplayName);
}

// The host settings object made for one call, with the bank's name in the fixed record that the
// call takes: 100 bytes for the file calls, 1024 for ConfigureBank.
template <size_t NameSize>
struct HostSettings {
    ComPtr<ITolvarBankSettings> Host;  // null when the host cannot make it
    char BankName[NameSize];
};

// Creates the host's settings object and fills the bank's name for its call.
template <size_t NameSize>
HostSettings<NameSize> CreateHostSettings()
{
    HostSettings<NameSize> settings{CreateHostObject<ITolvarBankSettings>(CLSID_TolvarBankSettings), {}};
    FillBankName(settings.BankName);
    return settings;
}
