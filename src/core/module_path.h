// The file path of a loaded module, whatever its length and whatever characters it holds.
#pragma once

#include <windows.h>

#include <string>

// The module's full wide path, read from the system with a buffer that grows as far as the longest
// path the system allows. Raises the system's failure as an HRESULT.
std::wstring ModuleWidePath(HMODULE module);

// The folder of a module path, with its closing backslash ("C:\Dir\" for "C:\Dir\File.dll").
std::wstring FolderOfPath(const std::wstring& path);
