// A running SHA-256 from the system's cryptography (BCrypt), fed with the payment file's bytes as the
// writer hands them to the file. Given a lane, it hashes there: each piece is copied into one of a
// few blocks of its own and hashed beside the writer.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <array>
#include <cstddef>
#include <memory>
#include <string>

#include "payments/payment_file_writer.h"
#include "support/background_lane.h"

class Sha256 : public WrittenBytesObserver {
public:
    using Digest = std::array<unsigned char, 32>;

    // Raises the system's failure as an HRESULT when the algorithm is not available.
    // lane, when given, must outlive the hash's last Add and Finish.
    explicit Sha256(BackgroundLane* lane = nullptr);
    ~Sha256() override;
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Add(const void* bytes, std::size_t count) override;
    // The digest of everything added (waiting for the lane); the hash is spent afterwards (nothing
    // more may be added).
    Digest Finish();
    // 64 lower-case hexadecimal digits.
    static std::string Hex(const Digest& digest);

private:
    // The writer hands over a field at a time: the bytes go to BCrypt in blocks, not call by call.
    static constexpr std::size_t kBlockSize = 64 * 1024;
    void AddHere(const unsigned char* bytes, std::size_t count);
    void HashBlock(const unsigned char* bytes, std::size_t count);

    // The copies on their way to the lane: one is filled while the others are hashed.
    struct LaneCopy {
        std::unique_ptr<unsigned char[]> Bytes;
        BackgroundLane::Ticket Ticket = 0;
    };
    static constexpr std::size_t kLaneCopies = 3;
    BackgroundLane* lane_ = nullptr;
    LaneCopy copies_[kLaneCopies];
    std::size_t nextCopy_ = 0;

    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
    std::unique_ptr<unsigned char[]> block_;
    std::size_t blockUsed_ = 0;
};
