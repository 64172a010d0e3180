#pragma once

// Global thermal erosion of a heightmap.

#include <functional>
#include <thread>

#include "terrain/uHeightmap.h"

// Told the iterations done and their total while an erosion runs, on the calling
// thread; false stops the erosion.
using TErosionProgress = std::function<bool(int Done, int Total)>;

// Starts a worker thread running the given body, or throws std::system_error when the
// system cannot start one (as std::thread does). Empty: std::thread.
using TErosionThreadStart = std::function<std::thread(std::function<void()>)>;

// Thermal erosion, in place and in scan order; normalised before and after.
// Every cell in turn moves material down to the neighbour within Radius with
// the greatest drop (the first in scan order on ties), and later cells see
// the move at once. Amount is capped at 1, Radius clamped to 1..6 and at most
// 4000 iterations run; nothing happens without a map, iterations or amount.
// False when Progress stopped it: the map is then as it was before the call.
// Workers that cannot be started are done without: the result is the same.
bool ErodeTerrain(THeightmap* Map, int Iterations, int Radius, float Amount,
                  const TErosionProgress& Progress = {},
                  const TErosionThreadStart& StartThread = {});
