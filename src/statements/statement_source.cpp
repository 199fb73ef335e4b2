#include "statements/statement_source.h"

#include <cstring>

size_t MemoryByteSource::Read(char* buffer, size_t size)
{
    const size_t left = size_ - position_;
    const size_t taken = size < left ? size : left;
    if (taken)
        std::memcpy(buffer, data_ + position_, taken);
    position_ += taken;
    return taken;
}

void StatementFingerprint::Mix(std::uint64_t word)
{
    hash_ = (hash_ ^ word) * 0x9E3779B97F4A7C15ull;
    hash_ ^= hash_ >> 29;
}

void StatementFingerprint::Add(const char* data, size_t size)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    size_ += size;
    // Words are made of the bytes at the same offsets whatever the reads were, so the checksum
    // does not depend on how the bytes arrived.
    while (size && pendingBytes_) {
        pending_ |= static_cast<std::uint64_t>(*bytes++) << (8 * pendingBytes_);
        --size;
        if (++pendingBytes_ == 8) {
            Mix(pending_);
            pending_ = 0;
            pendingBytes_ = 0;
        }
    }
    for (; size >= 8; size -= 8, bytes += 8) {
        std::uint64_t word = 0;
        for (unsigned i = 0; i < 8; ++i)
            word |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
        Mix(word);
    }
    for (; size; --size)
        pending_ |= static_cast<std::uint64_t>(*bytes++) << (8 * pendingBytes_++);
}

std::uint64_t StatementFingerprint::Checksum() const
{
    std::uint64_t hash = (hash_ ^ pending_ ^ (static_cast<std::uint64_t>(pendingBytes_) << 56)) * 0x9E3779B97F4A7C15ull;
    return hash ^ (hash >> 29) ^ size_;
}
