// Comma-separated input files of the sample host program: lines, and fields within a line.
#pragma once

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace hostprogram {

// A problem with the program's input, already worded for the user ("FILE:LINE: FIELD: what").
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "FILE:LINE: FIELD: what", leaving out the parts that are empty or 0.
std::string Located(const std::string& file, long line, const std::string& field, const std::string& what);

// Reads a file line by line. A line ends with LF; a CR before it is dropped, and a last line
// without an end is still a line.
class LineReader {
public:
    // Throws InputError when the file cannot be opened.
    explicit LineReader(const std::string& path);
    bool Next(std::string* line);
    // The number of the line Next gave last, counting from 1.
    long LineNumber() const { return lineNumber_; }
    const std::string& Path() const { return path_; }

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::string path_;
    std::unique_ptr<std::FILE, Closer> file_;
    long lineNumber_ = 0;
};

// Where a line could not be split: the field (counting from 0) and what is wrong with it.
struct CsvProblem {
    size_t Field = 0;
    std::string What;
};

// Splits a line at commas. A field that starts with a double quote runs to its closing quote: it
// may hold commas, and two quotes in a row stand for one. Such a field must close on its line and
// be followed by a comma or the end of the line. Other fields are taken as they are, spaces kept.
bool SplitCsvLine(const std::string& line, std::vector<std::string>* fields, CsvProblem* problem);

}  // namespace hostprogram
