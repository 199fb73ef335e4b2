// The date a process pins for today (platform::LocalToday), written YYYY-MM-DD.
#pragma once

namespace platform {

// Its three numbers when the text is exactly such a date of the Gregorian calendar from 1900 on.
inline bool ParsePinnedDate(const char* text, int* year, int* month, int* day)
{
    int parts[3] = {};
    const int lengths[3] = {4, 2, 2};
    const char* at = text;
    for (int p = 0; p < 3; ++p) {
        for (int i = 0; i < lengths[p]; ++i, ++at) {
            if (*at < '0' || *at > '9')
                return false;
            parts[p] = parts[p] * 10 + (*at - '0');
        }
        if (*at != (p < 2 ? '-' : '\0'))
            return false;
        ++at;
    }
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (parts[0] % 4 == 0 && parts[0] % 100 != 0) || parts[0] % 400 == 0;
    if (parts[0] < 1900 || parts[1] < 1 || parts[1] > 12 || parts[2] < 1 ||
        parts[2] > kDays[parts[1] - 1] + (parts[1] == 2 && leap ? 1 : 0))
        return false;
    *year = parts[0];
    *month = parts[1];
    *day = parts[2];
    return true;
}

}  // namespace platform
