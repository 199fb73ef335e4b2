// The text string class driven by random operation sequences and checked against a std::string
// model after every step; aliased arguments (a text appended to itself, a pointer into its own
// text) are among the operations.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/cstring.h"
#include "support/hresult.h"

namespace {

void Expect(bool condition)
{
    if (!condition)
        std::abort();
}

void ExpectSame(const CString& text, const std::string& model)
{
    Expect(text.GetLength() == static_cast<int>(model.size()));
    Expect(std::strlen(text) == model.size());
    Expect(std::memcmp(static_cast<const char*>(text), model.c_str(), model.size() + 1) == 0);
    Expect(text.GetCapacity() >= text.GetLength());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CString text;
    std::string model;
    size_t at = 0;
    auto next = [&]() -> unsigned { return at < size ? data[at++] : 0; };
    // Short pieces of input, never with a NUL (the class holds C strings).
    auto piece = [&]() {
        std::string s;
        for (unsigned length = next() % 24; length > 0 && at < size; --length) {
            const char c = static_cast<char>(next());
            s += c ? c : 'z';
        }
        return s;
    };
    while (at < size && model.size() < 100000) {
        switch (next() % 12) {
        case 0: {
            const std::string s = piece();
            text = s.c_str();
            model = s;
            break;
        }
        case 1: {
            const std::string s = piece();
            text.Append(s.c_str());
            model += s;
            break;
        }
        case 2:
            text.Append(text);
            model += model;
            break;
        case 3: {
            // A pointer into its own text.
            const int from = model.empty() ? 0 : static_cast<int>(next() % model.size());
            text.Append(static_cast<const char*>(text) + from);
            model += model.substr(static_cast<size_t>(from));
            break;
        }
        case 4:
            text = static_cast<const char*>(text);
            break;
        case 5: {
            const int first = static_cast<int>(next() % (model.size() + 1));
            const int count = static_cast<int>(next() % (model.size() + 1 - first + 1));
            try {
                const CString mid = text.Mid(first, count);
                const std::string expected = model.substr(first, count);
                ExpectSame(mid, expected);
            } catch (HRESULT) {
            }
            break;
        }
        case 6: {
            // Growing keeps the text.
            const int room = static_cast<int>(model.size() + next() % 8);
            ExpectSame(CString(text.GetBuffer(room)), model);
            Expect(text.GetCapacity() >= room);
            break;
        }
        case 7:
            Expect(text.CompareNoCase(model.c_str()) == 0);
            break;
        case 8: {
            // A tail of its own text, assigned.
            const size_t from = model.empty() ? 0 : static_cast<size_t>(next() % model.size());
            text = static_cast<const char*>(text) + from;
            model = model.substr(from);
            break;
        }
        case 9: {
            CString copy(text);
            copy += text;
            ExpectSame(copy, model + model);
            break;
        }
        case 10:
            text.Empty();
            model.clear();
            break;
        case 11: {
            platform::WideChar wide[32] = {};
            const std::string s = piece();
            for (size_t i = 0; i < s.size() && i < 31; ++i)
                wide[i] = static_cast<platform::WideChar>(static_cast<unsigned char>(s[i]) < 0x80 ? s[i] : 'w');
            text.Append(wide);
            for (size_t i = 0; i < s.size() && i < 31; ++i)
                model += static_cast<unsigned char>(s[i]) < 0x80 ? s[i] : 'w';
            break;
        }
        }
        ExpectSame(text, model);
    }
    return 0;
}
