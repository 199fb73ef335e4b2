// Files for tests: exact bytes in and out, and temporary files and folders removed at the end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

std::string ReadBytes(const std::string& path);  // "" when the file cannot be read
void WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The same by a wide path, for folders in any script.
std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
// The names of a folder's files and folders ("." and ".." left out), sorted.
std::vector<std::wstring> FolderEntries(const std::wstring& folder);
// Removes a folder and what it holds.
void RemoveFolder(const std::wstring& folder);
// How many CR LF line ends the bytes hold.
long CountCrLfLines(const std::string& bytes);
// The lines of a text whose every line ends with CR LF; false when a CR or LF stands anywhere else
// or bytes follow the last line end.
bool SplitCrLfLines(const std::string& bytes, std::vector<std::string>& lines);
// How many comma-separated fields a line holds.
size_t CountFields(const std::string& line);

// A file in the temporary folder, holding the given bytes when any are given; removed at the end.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& suffix = ".tmp");
    TemporaryFile(const std::string& contents, const std::string& suffix);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& Path() const { return path_; }
    std::string Bytes() const { return ReadBytes(path_); }
    void Remove() const;

private:
    std::string path_;
};

// A new empty folder in the temporary folder, removed with what it holds at the end.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& name);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};
