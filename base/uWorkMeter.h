#pragma once
// Counts the work an evaluation does, in units, as it does it, and stops it once a bound
// is passed. Opening a file hands one meter to every modifier stack it evaluates, so that
// a small file cannot keep the editor busy for minutes; editing runs without one.
//
// Work is counted, never timed, so that one file opens the same way on every machine. A
// unit is about one nanosecond of kernel work on one core of the machine the weights were
// measured on (bench/bench_work_meter.cpp prints nanoseconds per unit for every charged
// kernel). Loops whose trip count is bounded by a constant times their input plus output
// need not charge: the evaluator charges every step its real input and output. A loop that
// can run longer (pairs compared, iterations, repeated searches) charges as it runs.
//
// Charge only from the thread that runs the evaluation: the exception it raises must
// reach the evaluator. A loop split over helper threads charges its total on the calling
// thread, before or after.
#include <cstdint>
#include <limits>
#include <stdexcept>

// Raised by TWorkMeter::Charge once the meter's bound is passed. The evaluator turns it
// into a failed step that names the modifier.
class EWorkLimitReached : public std::runtime_error {
public:
    EWorkLimitReached() : std::runtime_error("the work bound of the evaluation is reached") {}
};

class TWorkMeter {
public:
    explicit TWorkMeter(int64_t Bound = std::numeric_limits<int64_t>::max()) : Limit(Bound) {}

    // Adds Units (negative counts as none) and raises EWorkLimitReached when the total
    // then passes the bound. Saturates instead of wrapping.
    void Charge(int64_t Units)
    {
        if (Units > 0)
            Spent = Units > std::numeric_limits<int64_t>::max() - Spent
                        ? std::numeric_limits<int64_t>::max()
                        : Spent + Units;
        if (Spent > Limit)
            throw EWorkLimitReached();
    }
    // True when the total has passed the bound: any further charge raises.
    bool Exhausted() const { return Spent > Limit; }
    int64_t Used() const { return Spent; }
    int64_t Bound() const { return Limit; }
    // What may still be charged before the bound is passed (0 once it is).
    int64_t Left() const { return Spent >= Limit ? 0 : Limit - Spent; }

private:
    int64_t Limit;
    int64_t Spent = 0;
};

// Charge through an optional meter: nothing without one.
inline void ChargeWork(TWorkMeter* Meter, int64_t Units)
{
    if (Meter)
        Meter->Charge(Units);
}

// Products of counts for charges, saturating instead of wrapping.
inline int64_t WorkProduct(int64_t A, int64_t B)
{
    if (A <= 0 || B <= 0)
        return 0;
    return A > std::numeric_limits<int64_t>::max() / B ? std::numeric_limits<int64_t>::max()
                                                       : A * B;
}
