#include "payments/sha256.h"

#include <climits>
#include <cstring>
#include <new>

#include "support/hresult.h"

namespace {

void Check(NTSTATUS status)
{
    if (!BCRYPT_SUCCESS(status))
        Raise(HRESULT_FROM_NT(status));
}

}  // namespace

Sha256::Sha256(BackgroundLane* lane)
{
    Check(BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
    const NTSTATUS created = BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0);
    if (!BCRYPT_SUCCESS(created)) {
        BCryptCloseAlgorithmProvider(algorithm_, 0);
        Raise(HRESULT_FROM_NT(created));
    }
    block_.reset(new (std::nothrow) unsigned char[kBlockSize]);
    // Without its copies the hash is made here, as without a lane.
    if (lane) {
        for (LaneCopy& copy : copies_) {
            copy.Bytes.reset(new (std::nothrow) unsigned char[kBlockSize]);
            if (!copy.Bytes)
                return;
        }
        lane_ = lane;
    }
}

Sha256::~Sha256()
{
    // Hashing still under way in the lane uses the copies and the hash.
    if (lane_) {
        try {
            lane_->Wait();
        } catch (...) {
            // Whatever failed there was raised to the run, or is of no use now.
        }
    }
    BCryptDestroyHash(hash_);
    BCryptCloseAlgorithmProvider(algorithm_, 0);
}

void Sha256::Add(const void* bytes, std::size_t count)
{
    const auto* at = static_cast<const unsigned char*>(bytes);
    if (!lane_) {
        AddHere(at, count);
        return;
    }
    while (count > 0) {
        LaneCopy& copy = copies_[nextCopy_];
        nextCopy_ = (nextCopy_ + 1) % kLaneCopies;
        if (copy.Ticket != 0)
            lane_->WaitFor(copy.Ticket);
        const std::size_t piece = count < kBlockSize ? count : kBlockSize;
        std::memcpy(copy.Bytes.get(), at, piece);
        const unsigned char* copied = copy.Bytes.get();
        copy.Ticket = lane_->Post([this, copied, piece] { AddHere(copied, piece); });
        at += piece;
        count -= piece;
    }
}

void Sha256::AddHere(const unsigned char* at, std::size_t count)
{
    if (!block_) {
        HashBlock(at, count);
        return;
    }
    // Whole blocks from the writer go to BCrypt without a copy.
    if (blockUsed_ == 0 && count >= kBlockSize) {
        HashBlock(at, count);
        return;
    }
    while (count > 0) {
        const std::size_t piece = count < kBlockSize - blockUsed_ ? count : kBlockSize - blockUsed_;
        std::memcpy(block_.get() + blockUsed_, at, piece);
        blockUsed_ += piece;
        at += piece;
        count -= piece;
        if (blockUsed_ == kBlockSize) {
            HashBlock(block_.get(), blockUsed_);
            blockUsed_ = 0;
        }
    }
}

void Sha256::HashBlock(const unsigned char* bytes, std::size_t count)
{
    // BCrypt takes a ULONG count: a larger block goes in pieces.
    auto* at = const_cast<unsigned char*>(bytes);
    while (count > 0) {
        const ULONG piece = count > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(count);
        Check(BCryptHashData(hash_, at, piece, 0));
        at += piece;
        count -= piece;
    }
}

Sha256::Digest Sha256::Finish()
{
    if (lane_)
        lane_->Wait();
    HashBlock(block_.get(), blockUsed_);
    blockUsed_ = 0;
    Digest digest{};
    Check(BCryptFinishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0));
    return digest;
}

std::string Sha256::Hex(const Digest& digest)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (const unsigned char byte : digest) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}
