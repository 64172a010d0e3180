#pragma once
// One helper thread for the per-vertex passes: a long pass is cut in two and the second
// half runs on the helper while the caller does the first. Each part writes only its own
// elements, so the results are the same as one thread's. The helper starts on first use
// and is joined at exit; while another caller has it, or when it cannot be started, both
// parts run on the caller.
#include <cstddef>
#include <cstdint>
#include <type_traits>

// Below this many elements a pass is not worth a hand-over.
constexpr size_t kHelperThreadMinimum = 16384;

// Part(Context, 0) on the caller and Part(Context, 1) on the helper, returning when both
// are done. Part must not raise.
void RunTwoParts(void (*Part)(void* Context, int32_t Index), void* Context);

template <class TPart>
void InTwoParts(TPart&& Part)
{
    using TFunction = std::remove_reference_t<TPart>;
    RunTwoParts([](void* Context, int32_t Index) { (*static_cast<TFunction*>(Context))(Index); },
                const_cast<void*>(static_cast<const void*>(&Part)));
}
