#include "support/text_conversion.h"

#include <climits>
#include <new>

#include "support/hresult.h"
#include "support/platform.h"

namespace {

int Units(std::size_t size)
{
    if (size > static_cast<std::size_t>(INT_MAX))
        Raise(E_INVALIDARG);
    return static_cast<int>(size);
}

// Sizes the result by a first call, fills it by a second; convert(out, outSize) is one platform
// conversion of the whole input. Returns false when the platform refuses the input.
template <class Result, class Step>
bool Convert(Result* result, Step convert)
{
    result->clear();
    const int size = convert(nullptr, 0);
    if (size <= 0)
        return false;
    try {
        result->resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        Raise(E_OUTOFMEMORY);
    }
    if (convert(&(*result)[0], size) != size) {
        result->clear();
        return false;
    }
    return true;
}

template <class Result, class Step>
Result ConvertOrRaise(std::size_t inputSize, Step convert)
{
    Result result;
    if (inputSize != 0 && !Convert(&result, convert))
        Raise(E_INVALIDARG);
    return result;
}

bool IsAscii(std::wstring_view wide)
{
    for (wchar_t c : wide) {
        if (static_cast<unsigned long>(c) >= 0x80)
            return false;
    }
    return true;
}

}  // namespace

std::wstring WideFromAnsi(std::string_view ansi)
{
    const int length = Units(ansi.size());
    return ConvertOrRaise<std::wstring>(ansi.size(), [&](wchar_t* out, int outSize) {
        return platform::AnsiToWide(ansi.data(), length, out, outSize);
    });
}

std::string AnsiFromWide(std::wstring_view wide)
{
    const int length = Units(wide.size());
    return ConvertOrRaise<std::string>(
        wide.size(), [&](char* out, int outSize) { return platform::WideToAnsi(wide.data(), length, out, outSize); });
}

bool ExactAnsiFromWide(std::wstring_view wide, std::string* ansi)
{
    ansi->clear();
    if (wide.empty())
        return true;
    const int length = Units(wide.size());
    bool lossy = false;
    const bool converted = Convert(ansi, [&](char* out, int outSize) {
        bool replaced = false;
        const int written = platform::WideToAnsi(wide.data(), length, out, outSize, &replaced);
        lossy = lossy || replaced;
        return written;
    });
    if (converted && !lossy)
        return true;
    ansi->clear();
    return false;
}

std::wstring WideFromUtf8(std::string_view utf8)
{
    const int length = Units(utf8.size());
    return ConvertOrRaise<std::wstring>(utf8.size(), [&](wchar_t* out, int outSize) {
        return platform::Utf8ToWide(utf8.data(), length, out, outSize);
    });
}

bool ExactWideFromUtf8(std::string_view utf8, std::wstring* wide)
{
    wide->clear();
    if (utf8.empty())
        return true;
    const int length = Units(utf8.size());
    return Convert(
        wide, [&](wchar_t* out, int outSize) { return platform::Utf8ToWide(utf8.data(), length, out, outSize, true); });
}

std::string Utf8FromWide(std::wstring_view wide)
{
    std::string utf8;
    Utf8FromWideInto(wide, &utf8);
    return utf8;
}

void Utf8FromWideInto(std::wstring_view wide, std::string* utf8)
{
    utf8->clear();
    // Most texts are plain ASCII, which is its own UTF-8.
    // Written into the text's own room: the export's payee check converts every payee's texts
    // beside the payment loop, and an allocation there would take the heap's lock from the loop.
    if (IsAscii(wide)) {
        try {
            utf8->resize(wide.size());
        } catch (const std::bad_alloc&) {
            Raise(E_OUTOFMEMORY);
        }
        for (std::size_t i = 0; i < wide.size(); ++i)
            (*utf8)[i] = static_cast<char>(wide[i]);
        return;
    }
    const int length = Units(wide.size());
    if (!Convert(utf8, [&](char* out, int outSize) { return platform::WideToUtf8(wide.data(), length, out, outSize); }))
        Raise(E_INVALIDARG);
}
