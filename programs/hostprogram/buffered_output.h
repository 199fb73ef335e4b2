// A stream buffer over a C file (standard output): the program's report goes out in large writes
// rather than one system call per piece of text. Whatever is held is written on sync and at the end.
#pragma once

#include <cstdio>
#include <streambuf>
#include <vector>

namespace hostprogram {

class BufferedOutput : public std::streambuf {
public:
    explicit BufferedOutput(std::FILE* file, std::size_t size = 64 * 1024);
    ~BufferedOutput() override;
    BufferedOutput(const BufferedOutput&) = delete;
    BufferedOutput& operator=(const BufferedOutput&) = delete;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    // Writes out what is held; false when the file refuses it.
    bool Drain();

    std::FILE* file_;
    std::vector<char> buffer_;
};

}  // namespace hostprogram
