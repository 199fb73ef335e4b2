// The default payment directory: its check, the fallback to the user's documents folder, and the
// path of the payment file built from it.
#pragma once

#include <cstddef>

#include "support/cstring.h"

// Paths are at most this many bytes, terminator included.
constexpr std::size_t kPathBufferSize = 260;

// Appends "\" unless the text already ends with one. Returns false, leaving the text unchanged,
// when the backslash does not fit in the buffer of bufferSize bytes.
bool AppendBackslash(char* path, std::size_t bufferSize);

// Where the user's documents folder comes from: fills a kPathBufferSize buffer and returns an
// HRESULT-style value. The shell's is the module's; tests give their own.
using DocumentsFolderLookup = long (*)(char* folder);
long ShellDocumentsFolder(char* folder);

// The user's documents folder (no trailing backslash), or "C:\" when there is none. Asked afresh
// on every call, into the call's own buffer: nothing is shared between threads.
CString GetRootDirectory(DocumentsFolderLookup lookup = ShellDocumentsFolder);

// Fills output (kPathBufferSize bytes) with directory, backslash and file name. A directory that
// does not exist, or that would not leave room for the file name in a path, is replaced by the root
// directory after telling the user so in an "Invalid default path" message box; a file name too
// long even for the root directory is cut to fit.
void ResolvePaymentFilePath(const char* fileName, const char* directory, char* output,
                            DocumentsFolderLookup lookup = ShellDocumentsFolder);
