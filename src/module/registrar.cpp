#include "module/registrar.h"

#include <cctype>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/method_frame.h"
#include "core/module_path.h"
#include "core/reg_key.h"
#include "support/text_conversion.h"

namespace {

struct ScriptValue {
    std::string Name;
    std::string Text;
};

struct ScriptKey {
    std::string Name;
    bool NoRemove = false;
    bool ForceRemove = false;
    bool HasDefault = false;
    std::string Default;
    std::vector<ScriptValue> Values;
    std::vector<ScriptKey> Keys;
};

class ScriptParser {
public:
    ScriptParser(const std::string& text, const std::string& modulePath) : text_(text), module_(modulePath) {}

    // The root key must be HKCR (or its long name); its subkeys follow in braces.
    bool ParseRoot(std::vector<ScriptKey>& keys)
    {
        std::string root;
        if (!NextToken(root) || (root != "HKCR" && root != "HKEY_CLASSES_ROOT"))
            return false;
        return ParseBlock(keys) && AtEnd();
    }

private:
    // A block in braces: subkeys and, where values may stand (not at the root), "val" entries.
    bool ParseBlock(std::vector<ScriptKey>& keys, std::vector<ScriptValue>* values = nullptr)
    {
        std::string token;
        if (!NextToken(token) || token != "{")
            return false;
        for (;;) {
            if (!PeekToken(token))
                return false;
            if (token == "}") {
                NextToken(token);
                return true;
            }
            if (values && token == "val") {
                NextToken(token);
                ScriptValue value;
                if (!NextToken(value.Name) || !NextToken(token) || token != "=" || !ParseStringValue(value.Text))
                    return false;
                values->push_back(std::move(value));
                continue;
            }
            ScriptKey key;
            if (!ParseKey(key))
                return false;
            keys.push_back(std::move(key));
        }
    }

    bool ParseKey(ScriptKey& key)
    {
        std::string token;
        if (!NextToken(token))
            return false;
        if (token == "NoRemove") {
            key.NoRemove = true;
            if (!NextToken(token))
                return false;
        } else if (token == "ForceRemove") {
            key.ForceRemove = true;
            if (!NextToken(token))
                return false;
        }
        key.Name = token;
        if (PeekToken(token) && token == "=") {
            NextToken(token);
            if (!ParseStringValue(key.Default))
                return false;
            key.HasDefault = true;
        }
        if (PeekToken(token) && token == "{")
            return ParseBlock(key.Keys, &key.Values);
        return true;
    }

    bool ParseStringValue(std::string& value)
    {
        std::string type;
        if (!NextToken(type) || type != "s")
            return false;
        return NextToken(value);
    }

    bool AtEnd()
    {
        std::string token;
        return !PeekToken(token);
    }

    bool PeekToken(std::string& token)
    {
        size_t saved = position_;
        bool found = NextToken(token);
        position_ = saved;
        return found;
    }

    // Tokens: braces, "=", quoted texts ('' stands for one quote) and bare words.
    bool NextToken(std::string& token)
    {
        token.clear();
        while (position_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[position_])))
            ++position_;
        if (position_ >= text_.size())
            return false;
        char c = text_[position_];
        // A key named by a GUID in braces is one word, not a block.
        if (c == '{' && position_ + 1 < text_.size() &&
            std::isxdigit(static_cast<unsigned char>(text_[position_ + 1]))) {
            const size_t close = text_.find('}', position_);
            if (close == std::string::npos)
                return false;
            token = text_.substr(position_, close - position_ + 1);
            position_ = close + 1;
            return true;
        }
        if (c == '{' || c == '}' || c == '=') {
            token = c;
            ++position_;
            return true;
        }
        if (c == '\'') {
            ++position_;
            while (position_ < text_.size()) {
                if (text_[position_] == '\'') {
                    if (position_ + 1 < text_.size() && text_[position_ + 1] == '\'') {
                        token += '\'';
                        position_ += 2;
                        continue;
                    }
                    ++position_;
                    Substitute(token);
                    return true;
                }
                token += text_[position_++];
            }
            return false;
        }
        while (position_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[position_])) &&
               text_[position_] != '{' && text_[position_] != '}' && text_[position_] != '=')
            token += text_[position_++];
        Substitute(token);
        return true;
    }

    void Substitute(std::string& token) const
    {
        const std::string placeholder = "%MODULE%";
        for (size_t at = token.find(placeholder); at != std::string::npos;
             at = token.find(placeholder, at + module_.size()))
            token.replace(at, placeholder.size(), module_);
    }

    const std::string& text_;
    const std::string& module_;
    size_t position_ = 0;
};

HRESULT FromWin32(LONG error)
{
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(error));
}

// The scripts and the module's path are UTF-8 here: the registry is written in wide characters, so
// a path outside the ANSI code page is registered as it is.
HRESULT SetString(HKEY key, const std::string* name, const std::string& text)
{
    const std::wstring wideName = name ? WideFromUtf8(*name) : std::wstring();
    const std::wstring wideText = WideFromUtf8(text);
    return FromWin32(RegSetValueExW(key, name ? wideName.c_str() : nullptr, 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(wideText.c_str()),
                                    static_cast<DWORD>((wideText.size() + 1) * sizeof(wchar_t))));
}

HRESULT RegisterKey(HKEY parent, const ScriptKey& key)
{
    const std::wstring name = WideFromUtf8(key.Name);
    if (key.ForceRemove)
        RegDeleteTreeW(parent, name.c_str());  // written afresh each time
    RegKey opened;
    LONG error = RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                 nullptr, opened.Put(), nullptr);
    if (error != ERROR_SUCCESS)
        return FromWin32(error);
    HRESULT hr = S_OK;
    if (key.HasDefault && FAILED(hr = SetString(opened.Get(), nullptr, key.Default)))
        return hr;
    for (const ScriptValue& value : key.Values) {
        if (FAILED(hr = SetString(opened.Get(), &value.Name, value.Text)))
            return hr;
    }
    for (const ScriptKey& child : key.Keys) {
        if (FAILED(hr = RegisterKey(opened.Get(), child)))
            return hr;
    }
    return S_OK;
}

HRESULT UnregisterKey(HKEY parent, const ScriptKey& key)
{
    const std::wstring name = WideFromUtf8(key.Name);
    if (key.ForceRemove) {
        LONG error = RegDeleteTreeW(parent, name.c_str());
        return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(error);
    }
    if (key.NoRemove) {
        RegKey opened;
        if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, opened.Put()) != ERROR_SUCCESS)
            return S_OK;
        for (const ScriptKey& child : key.Keys) {
            HRESULT hr = UnregisterKey(opened.Get(), child);
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    }
    // A plain key goes with everything under it.
    LONG error = RegDeleteTreeW(parent, name.c_str());
    if (error == ERROR_SUCCESS)
        error = RegDeleteKeyW(parent, name.c_str());
    return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(error);
}

}  // namespace

HRESULT RunRegistryScript(const std::string& script, const std::string& modulePath, bool registering)
try {
    std::vector<ScriptKey> keys;
    ScriptParser parser(script, modulePath);
    if (!parser.ParseRoot(keys))
        return E_FAIL;
    for (const ScriptKey& key : keys) {
        HRESULT hr = registering ? RegisterKey(HKEY_CLASSES_ROOT, key) : UnregisterKey(HKEY_CLASSES_ROOT, key);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
} catch (...) {
    return CaughtResult();
}

HRESULT RunRegistryResource(HMODULE module, UINT id, bool registering)
try {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "REGISTRY");
    if (!found)
        return HRESULT_FROM_WIN32(GetLastError());
    HGLOBAL loaded = LoadResource(module, found);
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!bytes)
        return HRESULT_FROM_WIN32(GetLastError());
    std::string script(bytes, SizeofResource(module, found));

    return RunRegistryScript(script, Utf8FromWide(ModuleWidePath(module)), registering);
} catch (...) {
    return CaughtResult();
}
