#pragma once
// A random value drawn once per run, mixed into the hashes of tables whose keys come from a
// file (vertex indices of a stored mesh): without it, a crafted mesh could put every key
// in one run of slots and turn a linear pass into a quadratic one. What a table holds and
// the order of anything built from it do not depend on the seed, only where keys sit.
#include <cstdint>
#include <random>

inline uint64_t ProcessHashSeed()
{
    static const uint64_t Seed = [] {
        std::random_device Device;
        return (static_cast<uint64_t>(Device()) << 32) ^ Device();
    }();
    return Seed;
}

// Spreads every bit of H over the whole word (the finaliser of MurmurHash3): a table that
// masks the low bits of a product would otherwise see only the keys' low bits.
inline uint64_t MixHashBits(uint64_t H)
{
    H = (H ^ (H >> 33)) * 0xFF51AFD7ED558CCDull;
    H = (H ^ (H >> 33)) * 0xC4CEB9FE1A85EC53ull;
    return H ^ (H >> 33);
}
