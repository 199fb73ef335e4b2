#include "hostprogram/csv_reader.h"

#include <windows.h>

#include <cerrno>
#include <cstring>

#include "hostprogram/program_text.h"

namespace hostprogram {

std::string Located(const std::string& file, long line, const std::string& field, const std::string& what)
{
    std::string text = file;
    if (line > 0)
        text += ":" + std::to_string(line);
    text += ": ";
    if (!field.empty())
        text += field + ": ";
    return text + what;
}

LineReader::LineReader(const std::string& path) : path_(path)
{
    const std::wstring wide = Wide(path);
    file_.reset(_wfopen(wide.c_str(), L"rb"));
    if (!file_) {
        const int error = errno;
        DWORD attributes = GetFileAttributesW(wide.c_str());
        std::string why = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                              ? "is a folder, not a file"
                          : error == ENOENT ? "no such file"
                                            : std::strerror(error);
        throw InputError(Located(path, 0, "", "cannot be read: " + why));
    }
}

bool LineReader::Next(std::string* line)
{
    line->clear();
    int c = std::getc(file_.get());
    if (c == EOF)
        return false;
    for (; c != EOF && c != '\n'; c = std::getc(file_.get()))
        line->push_back(static_cast<char>(c));
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    ++lineNumber_;
    return true;
}

bool SplitCsvLine(const std::string& line, std::vector<std::string>* fields, CsvProblem* problem)
{
    fields->clear();
    size_t at = 0;
    for (;;) {
        std::string field;
        const size_t index = fields->size();
        if (at < line.size() && line[at] == '"') {
            ++at;
            bool closed = false;
            while (at < line.size()) {
                if (line[at] == '"') {
                    if (at + 1 < line.size() && line[at + 1] == '"') {
                        field.push_back('"');
                        at += 2;
                        continue;
                    }
                    closed = true;
                    ++at;
                    break;
                }
                field.push_back(line[at++]);
            }
            if (!closed) {
                *problem = {index, "the quoted text is not closed on its line"};
                return false;
            }
            if (at < line.size() && line[at] != ',') {
                *problem = {index, "text after the closing quote"};
                return false;
            }
        } else {
            const size_t comma = line.find(',', at);
            const size_t end = comma == std::string::npos ? line.size() : comma;
            field.assign(line, at, end - at);
            at = end;
        }
        fields->push_back(std::move(field));
        if (at >= line.size())
            return true;
        ++at;  // the comma
    }
}

}  // namespace hostprogram
