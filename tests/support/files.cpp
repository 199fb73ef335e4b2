#include "tests/support/files.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

std::string TempFolder()
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return folder;
}

std::string UniqueName(const std::string& stem)
{
    static int counter = 0;
    return stem + "_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
}

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

std::string ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TemporaryFile::TemporaryFile(const std::string& suffix) : path_(TempFolder() + UniqueName("test") + suffix)
{
}

TemporaryFile::TemporaryFile(const std::string& contents, const std::string& suffix) : TemporaryFile(suffix)
{
    WriteBytes(path_, contents);
}

TemporaryFile::~TemporaryFile()
{
    Remove();
}

void TemporaryFile::Remove() const
{
    DeleteFileA(path_.c_str());
}

TemporaryFolder::TemporaryFolder(const std::string& name) : path_(TempFolder() + UniqueName(name))
{
    CreateDirectoryA(path_.c_str(), nullptr);
}

TemporaryFolder::~TemporaryFolder()
{
    RemoveTree(path_);
}

long CountCrLfLines(const std::string& bytes)
{
    long lines = 0;
    for (size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2))
        ++lines;
    return lines;
}
