#include "standin/call_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "support/text_conversion.h"

namespace standin {

std::string NumberText(double value)
{
    char text[40];
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
        std::snprintf(text, sizeof text, "%.0f", value);
        return text;
    }
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        if (std::strtod(text, nullptr) == value)
            break;
    }
    return text;
}

std::string TextOf(const wchar_t* text, size_t length)
{
    if (!text)
        return {};
    return Utf8FromWide({text, length});
}

std::string TextOf(const std::wstring& text)
{
    return TextOf(text.data(), text.size());
}

std::string BstrText(BSTR text)
{
    return text ? TextOf(text, SysStringLen(text)) : std::string();
}

std::string BufferText(const char* buffer, size_t size)
{
    if (!buffer)
        return "null";
    size_t length = 0;
    while (length < size && buffer[length] != '\0')
        ++length;
    return std::string(buffer, length);
}

std::string VariantText(const VARIANT* value)
{
    if (!value)
        return "null";
    switch (V_VT(value)) {
    case VT_EMPTY:
        return "VT_EMPTY";
    case VT_NULL:
        return "VT_NULL";
    case VT_I2:
        return "VT_I2 " + std::to_string(V_I2(value));
    case VT_I4:
        return "VT_I4 " + std::to_string(V_I4(value));
    case VT_UI4:
        return "VT_UI4 " + std::to_string(V_UI4(value));
    case VT_INT:
        return "VT_INT " + std::to_string(V_INT(value));
    case VT_R4:
        return "VT_R4 " + NumberText(V_R4(value));
    case VT_R8:
        return "VT_R8 " + NumberText(V_R8(value));
    case VT_DATE:
        return "VT_DATE " + NumberText(V_DATE(value));
    case VT_BOOL:
        return std::string("VT_BOOL ") + (V_BOOL(value) ? "true" : "false");
    case VT_BSTR:
        return "VT_BSTR " + BstrText(V_BSTR(value));
    default:
        break;
    }
    char text[24];
    std::snprintf(text, sizeof text, "VT 0x%04X", static_cast<unsigned>(V_VT(value)));
    return text;
}

std::string CallText(const char* member, const std::string& argument)
{
    return std::string(member) + "(" + argument + ")";
}

}  // namespace standin
