#include "support/cstring.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "support/hresult.h"

#ifdef _WIN32
#include <windows.h>
#include <oleauto.h>
#endif

namespace {

const char kEmptyText[] = "";

// Wide text is converted through a stack buffer when it is short; longer texts use the heap.
constexpr int kStackConversionBytes = 512;

int FormatInto(char* out, size_t size, const char* format, va_list arguments)
{
#ifdef __MINGW32__
    return __mingw_vsnprintf(out, size, format, arguments);
#else
    return std::vsnprintf(out, size, format, arguments);
#endif
}

}  // namespace

CString::CString(const CString& other)
{
    Assign(other.GetLength(), other);
}

CString::CString(const char* text)
{
    if (!text)
        Raise(E_INVALIDARG);
    Assign(static_cast<int>(std::strlen(text)), text);
}

CString::CString(const platform::WideChar* text)
{
    AssignWide(text, false);
}

CString::~CString()
{
    delete[] buffer_;
}

CString& CString::operator=(const CString& other)
{
    if (this != &other)
        Assign(other.GetLength(), other);
    return *this;
}

CString& CString::operator=(const char* text)
{
    if (!text)
        Raise(E_INVALIDARG);
    if (text == buffer_)
        return *this;
    Assign(static_cast<int>(std::strlen(text)), text);
    return *this;
}

CString& CString::operator=(const platform::WideChar* text)
{
    AssignWide(text, false);
    return *this;
}

CString& CString::Append(const CString& other)
{
    AppendBytes(other.GetLength(), other);
    return *this;
}

CString& CString::Append(const char* text)
{
    if (!text)
        Raise(E_INVALIDARG);
    AppendBytes(static_cast<int>(std::strlen(text)), text);
    return *this;
}

CString& CString::Append(const platform::WideChar* text)
{
    if (!text)
        Raise(E_INVALIDARG);
    AssignWide(text, true);
    return *this;
}

CString CString::operator+(const char* text) const
{
    CString result(*this);
    result.Append(text);
    return result;
}

CString::operator const char*() const
{
    return buffer_ ? buffer_ : kEmptyText;
}

int CString::GetLength() const
{
    return buffer_ ? static_cast<int>(std::strlen(buffer_)) : 0;
}

char CString::GetAt(int position) const
{
    if (position < 0 || position >= GetLength())
        Raise(E_INVALIDARG);
    return buffer_[position];
}

char* CString::GetBuffer(int minCapacity)
{
    Reserve(minCapacity);
    return buffer_ ? buffer_ : const_cast<char*>(kEmptyText);
}

void CString::Empty()
{
    delete[] buffer_;
    buffer_ = nullptr;
    capacity_ = 0;
}

int CString::CompareNoCase(const char* text) const
{
    if (!text)
        Raise(E_INVALIDARG);
    return platform::MbCompareNoCase(*this, text);
}

CString CString::Mid(int first, int count) const
{
    const int length = GetLength();
    if (first < 0 || first > length)
        Raise(E_INVALIDARG);
    if (count > length - first)
        count = length - first;
    CString result;
    result.Assign(count < 0 ? 0 : count, static_cast<const char*>(*this) + first);
    return result;
}

void CString::Format(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    try {
        FormatV(format, arguments);
    } catch (...) {
        va_end(arguments);
        throw;
    }
    va_end(arguments);
}

void CString::FormatV(const char* format, va_list arguments)
{
    if (!format)
        Raise(E_INVALIDARG);
    char work[256];
    va_list again;
    va_copy(again, arguments);
    const int needed = FormatInto(work, sizeof work, format, arguments);
    if (needed < 0) {
        va_end(again);
        Raise(E_INVALIDARG);
    }
    if (needed < static_cast<int>(sizeof work)) {
        va_end(again);
        Assign(needed, work);
        return;
    }
    // A result longer than the work buffer (a message naming two long folders) is never cut.
    std::unique_ptr<char[]> large(new (std::nothrow) char[needed + 1]);
    if (!large) {
        va_end(again);
        Raise(E_OUTOFMEMORY);
    }
    FormatInto(large.get(), needed + 1, format, again);
    va_end(again);
    Assign(needed, large.get());
}

bool CString::LoadString(void* moduleInstance, unsigned int id)
{
    char work[256] = {};
    const int length = platform::LoadResourceString(moduleInstance, id, work, sizeof work);
    Assign(length > 0 ? length : 0, work);
    return length > 0;
}

platform::WideChar* CString::AllocSysString() const
{
#ifdef _WIN32
    const int length = GetLength();
    if (length == 0)
        return SysAllocStringLen(L"", 0);
    const int wideLength = platform::AnsiToWide(*this, length, nullptr, 0);
    BSTR text = SysAllocStringLen(nullptr, wideLength);
    if (!text)
        return nullptr;
    platform::AnsiToWide(*this, length, text, wideLength);
    return text;
#else
    return nullptr;
#endif
}

char* CString::NewBuffer(int count)
{
    char* fresh = new (std::nothrow) char[static_cast<size_t>(count) + 1];
    if (!fresh)
        Raise(E_OUTOFMEMORY);
    fresh[0] = '\0';
    return fresh;
}

void CString::Adopt(char* fresh, int capacity)
{
    delete[] buffer_;
    buffer_ = fresh;
    capacity_ = capacity;
}

// The old buffer goes only once the new one is there, so a failed growth loses nothing.
void CString::Reserve(int count)
{
    if (count <= capacity_)
        return;
    char* fresh = NewBuffer(count);
    if (buffer_)
        std::memcpy(fresh, buffer_, std::strlen(buffer_) + 1);
    Adopt(fresh, count);
}

void CString::Assign(int count, const char* source)
{
    if (count < 0 || (count > 0 && !source))
        Raise(E_INVALIDARG);
    if (count > capacity_) {
        // Copied before the old buffer is freed: source may lie in it.
        char* fresh = NewBuffer(count);
        std::memcpy(fresh, source, static_cast<size_t>(count));
        fresh[count] = '\0';
        Adopt(fresh, count);
        return;
    }
    if (count == 0) {
        if (buffer_)
            buffer_[0] = '\0';
        return;
    }
    std::memmove(buffer_, source, static_cast<size_t>(count));
    buffer_[count] = '\0';
}

void CString::AppendBytes(int count, const char* source)
{
    if (count == 0)
        return;
    if (!source || count < 0)
        Raise(E_INVALIDARG);
    const int length = GetLength();
    if (count > INT_MAX - 1 - length)
        Raise(E_OUTOFMEMORY);
    if (length + count > capacity_) {
        // The new room is filled before the old is freed: source may lie in the old (a text
        // appended to itself).
        char* fresh = NewBuffer(length + count);
        if (length)
            std::memcpy(fresh, buffer_, static_cast<size_t>(length));
        std::memcpy(fresh + length, source, static_cast<size_t>(count));
        fresh[length + count] = '\0';
        Adopt(fresh, length + count);
        return;
    }
    std::memmove(buffer_ + length, source, static_cast<size_t>(count));
    buffer_[length + count] = '\0';
}

void CString::AssignWide(const platform::WideChar* text, bool append)
{
    if (!text) {
        if (!append)
            Assign(0, kEmptyText);
        return;
    }
    // Sized by the conversion itself: a multi-byte code page (UTF-8 among them) needs up to three
    // bytes for one UTF-16 unit.
    const int capacity = platform::WideToAnsi(text, -1, nullptr, 0);
    if (capacity <= 0) {
        if (!append)
            Assign(0, kEmptyText);
        return;
    }
    char stackBuffer[kStackConversionBytes];
    std::unique_ptr<char[]> heapBuffer;
    char* converted = stackBuffer;
    if (capacity > kStackConversionBytes) {
        heapBuffer.reset(new (std::nothrow) char[capacity]);
        if (!heapBuffer)
            Raise(E_OUTOFMEMORY);
        converted = heapBuffer.get();
    }
    int bytes = platform::WideToAnsi(text, -1, converted, capacity);
    const int length = bytes > 0 ? bytes - 1 : 0;  // the count includes the terminator
    if (append)
        AppendBytes(length, converted);
    else
        Assign(length, converted);
}
