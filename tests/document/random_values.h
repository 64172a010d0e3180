#pragma once
// Random values as a user enters them, from one seeded generator: the same seed always gives
// the same values.
#include "base/uMath.h"

#include <bit>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>

class TRandomValues {
public:
    explicit TRandomValues(uint32_t Seed) : Random(Seed) {}

    size_t Pick(size_t Count)
    {
        return std::uniform_int_distribution<size_t>(0, Count - 1)(Random);
    }
    int Int(int Lo, int Hi) { return std::uniform_int_distribution<int>(Lo, Hi)(Random); }
    bool Chance(double P) { return std::bernoulli_distribution(P)(Random); }
    float Real(float Lo, float Hi) { return std::uniform_real_distribution<float>(Lo, Hi)(Random); }
    // A number as typed: sometimes round, sometimes with every digit, sometimes "-0", "1e-40"
    // (below the normal floats) or "1e-30".
    float Typed(float Lo, float Hi)
    {
        switch (Int(0, 7)) {
        case 6:
            return std::bit_cast<float>(uint32_t(Int(1, 0x7fffff)));
        case 7:
            return Real(-1, 1) * 1e-30f;
        case 0:
            return static_cast<float>(Int(static_cast<int>(Lo), static_cast<int>(Hi)));
        case 1:
            return Lo <= 0 && Hi >= 0 ? -0.0f : Lo;
        default:
            return Real(Lo, Hi);
        }
    }
    TVec3 Colour() { return Vec3(Real(0, 1), Real(0, 1), Real(0, 1)); }
    std::string Name()
    {
        static const char* const pieces[] = {"Wall",   " lead",  "trail ", "Ä",      "\"q\"",
                                             "x\ty",   "",       "  ",     "Cube 3", "42",
                                             "a/b\\c", "NAME x", "#"};
        std::string s;
        if (Chance(0.3)) {
            // Pasted text: any byte but a line break.
            for (int n = Int(0, 12); n > 0; --n) {
                char c = char(Int(1, 255));
                if (c == '\r' || c == '\n')
                    c = 'x';
                s += c;
            }
            return s;
        }
        for (int n = Int(1, 3); n > 0; --n)
            s += pieces[Pick(std::size(pieces))];
        return s;
    }

private:
    std::mt19937 Random;
};
