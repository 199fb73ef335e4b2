// An open registry key, closed when its holder goes.
#pragma once

#include <windows.h>

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    HKEY* Put() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};
