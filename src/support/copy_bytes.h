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

inline void CopyBytes(void* to, const void* from, std::size_t count)
{
    auto* target = static_cast<unsigned char*>(to);
    const auto* source = static_cast<const unsigned char*>(from);
    if (count > 32) {
        std::memcpy(target, source, count);
        return;
    }
    // Each pair of moves overlaps where the count is not a power of two: both read before either
    // writes, so the ranges may not overlap each other (as memcpy's may not).
    if (count >= 16) {
        std::uint64_t head[2], tail[2];
        std::memcpy(head, source, 16);
        std::memcpy(tail, source + count - 16, 16);
        std::memcpy(target, head, 16);
        std::memcpy(target + count - 16, tail, 16);
    } else if (count >= 8) {
        std::uint64_t head, tail;
        std::memcpy(&head, source, 8);
        std::memcpy(&tail, source + count - 8, 8);
        std::memcpy(target, &head, 8);
        std::memcpy(target + count - 8, &tail, 8);
    } else if (count >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, source, 4);
        std::memcpy(&tail, source + count - 4, 4);
        std::memcpy(target, &head, 4);
        std::memcpy(target + count - 4, &tail, 4);
    } else if (count >= 2) {
        std::uint16_t head, tail;
        std::memcpy(&head, source, 2);
        std::memcpy(&tail, source + count - 2, 2);
        std::memcpy(target, &head, 2);
        std::memcpy(target + count - 2, &tail, 2);
    } else if (count == 1) {
        *target = *source;
    }
}
