// Copies of short runs of bytes, as the payment loop makes a dozen for every payment (a field into
// its record, a record into the file's block, a payee's text into its note). The C library's
// memcpy is a call through an import, and under some runtimes a generic loop behind it: for the
// few bytes of a field it costs more than the copy. Up to 32 bytes are copied here in at most
// four fixed-size moves (that the compiler writes out), reading and writing nothing outside the
// two ranges; longer runs go to memcpy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace copy_bytes_detail {

struct Sixteen {
    std::uint64_t Halves[2];
};

// The first and the last sizeof(Word) bytes of count (at least that many): the two moves overlap
// where count is not twice the word. Both read before either writes, so the ranges may not
// overlap each other (as memcpy's may not).
template <class Word>
inline void CopyEnds(unsigned char* target, const unsigned char* source, std::size_t count)
{
    Word head, tail;
    std::memcpy(&head, source, sizeof(Word));
    std::memcpy(&tail, source + count - sizeof(Word), sizeof(Word));
    std::memcpy(target, &head, sizeof(Word));
    std::memcpy(target + count - sizeof(Word), &tail, sizeof(Word));
}

}  // namespace copy_bytes_detail

inline void CopyBytes(void* to, const void* from, std::size_t count)
{
    using namespace copy_bytes_detail;
    auto* target = static_cast<unsigned char*>(to);
    const auto* source = static_cast<const unsigned char*>(from);
    if (count > 32)
        std::memcpy(target, source, count);
    else if (count >= 16)
        CopyEnds<Sixteen>(target, source, count);
    else if (count >= 8)
        CopyEnds<std::uint64_t>(target, source, count);
    else if (count >= 4)
        CopyEnds<std::uint32_t>(target, source, count);
    else if (count >= 2)
        CopyEnds<std::uint16_t>(target, source, count);
    else if (count == 1)
        *target = *source;
}
