// The short copy the payment loop makes: every count from nothing to past its inline sizes gives
// memcpy's bytes, and touches nothing outside the two ranges (each range its own allocation of
// exactly that size, which the sanitizers of the native build watch).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "support/copy_bytes.h"

TEST(CopyBytes, EveryCountGivesTheSourceBytesAndNothingMore)
{
    for (std::size_t count = 0; count <= 70; ++count) {
        for (std::size_t offset = 0; offset < 4; ++offset) {
            std::unique_ptr<unsigned char[]> source(new unsigned char[count + offset]);
            std::unique_ptr<unsigned char[]> target(new unsigned char[count + offset + 2]);
            for (std::size_t i = 0; i < count + offset; ++i)
                source[i] = static_cast<unsigned char>(i * 37 + 1);
            std::memset(target.get(), 0xEE, count + offset + 2);

            // Unaligned on both sides, as fields in a record are.
            CopyBytes(target.get() + 1 + offset, source.get() + offset, count);

            EXPECT_EQ(0xEE, target[0]) << count;
            for (std::size_t i = 0; i < offset; ++i)
                EXPECT_EQ(0xEE, target[1 + i]) << count;
            EXPECT_EQ(0, std::memcmp(target.get() + 1 + offset, source.get() + offset, count)) << count;
            EXPECT_EQ(0xEE, target[count + offset + 1]) << count;
        }
    }
}

TEST(CopyBytes, WideTextsCopyWhole)
{
    const wchar_t text[] = L"J. Smith & Co, \x00e9\x20ac";
    const std::vector<wchar_t> name(text, text + 17);
    std::vector<wchar_t> copy(name.size());
    CopyBytes(copy.data(), name.data(), name.size() * sizeof(wchar_t));
    EXPECT_EQ(name, copy);
}
