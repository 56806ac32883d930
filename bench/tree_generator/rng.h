#pragma once

#include <cstdint>
#include <vector>

namespace tallyrook::bench {

// The generators' random source. splitmix64: tiny, fast and the same on every platform, unlike
// the standard distributions.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // In [low, high].
    int64_t Range(int64_t low, int64_t high) {
        return low + int64_t(Next() % uint64_t(high - low + 1));
    }
    bool Chance(int percent) { return Range(1, 100) <= percent; }
    template <typename T>
    const T& Pick(const std::vector<T>& items) {
        return items[size_t(Range(0, int64_t(items.size()) - 1))];
    }

private:
    uint64_t state_;
};

}  // namespace tallyrook::bench
