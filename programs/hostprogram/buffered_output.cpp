#include "hostprogram/buffered_output.h"

#include <cstring>

namespace hostprogram {

BufferedOutput::BufferedOutput(std::FILE* file, std::size_t size) : file_(file), buffer_(size > 0 ? size : 1)
{
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

BufferedOutput::~BufferedOutput()
{
    sync();
}

bool BufferedOutput::Drain()
{
    const std::size_t held = static_cast<std::size_t>(pptr() - pbase());
    const bool written = held == 0 || std::fwrite(pbase(), 1, held, file_) == held;
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return written;
}

BufferedOutput::int_type BufferedOutput::overflow(int_type c)
{
    if (!Drain())
        return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize BufferedOutput::xsputn(const char* text, std::streamsize count)
{
    std::streamsize done = 0;
    while (done < count) {
        std::streamsize room = epptr() - pptr();
        if (room == 0) {
            if (!Drain())
                return done;
            room = epptr() - pptr();
        }
        const std::streamsize part = count - done < room ? count - done : room;
        std::memcpy(pptr(), text + done, static_cast<std::size_t>(part));
        pbump(static_cast<int>(part));
        done += part;
    }
    return done;
}

int BufferedOutput::sync()
{
    const bool written = Drain();
    return written && std::fflush(file_) == 0 ? 0 : -1;
}

}  // namespace hostprogram
