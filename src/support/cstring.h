// CString: the module's own 8-bit text in the ANSI code page. No shared buffers, no stored
// length, exact-size growth. Misuse and exhaustion are raised as bare HRESULTs.
#pragma once

#include <cstdarg>

#include "support/platform.h"

#ifdef _WIN32
#include <windows.h>
#endif

// windows.h maps LoadString to its ANSI or wide form; the class has its own.
#ifdef LoadString
#undef LoadString
#endif

class CString {
public:
    CString() = default;
    CString(const CString& other);
    CString(const char* text);
    CString(const platform::WideChar* text);
    virtual ~CString();

    CString& operator=(const CString& other);
    CString& operator=(const char* text);
    CString& operator=(const platform::WideChar* text);

    CString& Append(const CString& other);
    CString& Append(const char* text);
    CString& Append(const platform::WideChar* text);
    CString& operator+=(const CString& other) { return Append(other); }
    CString& operator+=(const char* text) { return Append(text); }
    CString operator+(const char* text) const;

    operator const char*() const;
    const char* c_str() const { return *this; }
    int GetLength() const;
    int GetCapacity() const { return capacity_; }
    bool IsEmpty() const { return GetLength() == 0; }
    char GetAt(int position) const;
    // Room for minCapacity characters; the text stays, also when growing fails (E_OUTOFMEMORY).
    char* GetBuffer(int minCapacity);
    void Empty();

    int CompareNoCase(const char* text) const;

    CString Mid(int first, int count) const;

    void Format(const char* format, ...);
    void FormatV(const char* format, va_list arguments);
    bool LoadString(void* moduleInstance, unsigned int id);

    // New BSTR of the text (ANSI code page to UTF-16); null when it cannot be allocated.
    platform::WideChar* AllocSysString() const;

private:
    // A buffer of count + 1 bytes; raises E_OUTOFMEMORY, and the string is then as it was.
    static char* NewBuffer(int count);
    void Adopt(char* fresh, int capacity);
    void Reserve(int count);
    void Assign(int count, const char* source);
    void AppendBytes(int count, const char* source);
    void AssignWide(const platform::WideChar* text, bool append);

    char* buffer_ = nullptr;
    int capacity_ = 0;
};
