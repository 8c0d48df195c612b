#pragma once
// The SplitMix64 generator: a 64-bit state advanced by a fixed odd step and mixed on output.
#include <cstdint>

class SplitMix64 {
public:
    static constexpr std::uint64_t kGoldenGamma = 0x9E3779B97F4A7C15ULL;

    explicit constexpr SplitMix64(std::uint64_t seed = kGoldenGamma) : state_(seed) {}

    constexpr std::uint64_t nextRaw() {
        state_ += kGoldenGamma;  // unsigned: wraps at 2^64
        std::uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // A double in [0, 1) from the top 53 bits.
    constexpr double next() { return double(nextRaw() >> 11) * 0x1.0p-53; }

private:
    std::uint64_t state_;
};
