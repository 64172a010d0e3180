#pragma once
// What opening one file may spend on evaluating its objects' modifier stacks. The
// evaluator's vertex and face limits hold for the whole scene, not for each object, and
// the stacks' work has a bound of its own. Stacks past the budget are held unevaluated
// (their objects show their base meshes) and named in a note for the user.
#include <cstdint>
#include <string>
#include <vector>

class TScene;

struct TEvaluationBudget {
    int64_t MaxVertices = 1000000;
    int64_t MaxFaces = 1000000;
    // The work of all stacks together (see TStackEstimate::Work): a second or two of
    // evaluation on one core.
    int64_t MaxWork = 250000000;
};

// Estimates every object's stack from its input's counts, children before parents (a
// composite's input is its descendants' output), and holds each stack that does not fit
// in what the objects before it left. Returns the names of the held objects.
std::vector<std::string> HoldStacksPastBudget(TScene& Scene, const TEvaluationBudget& Budget);

// The note shown after opening a file with held stacks; empty for none.
std::string HeldStacksNote(const std::vector<std::string>& Names);
