#pragma once
// What opening one file may spend on evaluating its objects' modifier stacks. The
// evaluator's vertex and face limits hold for the whole scene, not for each object, and
// the stacks' work has a bound of its own. Stacks past the budget are held unevaluated
// (their objects show their base meshes) and named in a note for the user.
#include <cstdint>
#include <string>
#include <vector>

class TProjectTime;
class TScene;

struct TEvaluationBudget {
    int64_t MaxVertices = 1000000;
    int64_t MaxFaces = 1000000;
    // The work of all stacks together (see TStackEstimate::Work): about a second of
    // evaluation on one core, whichever kernels do it.
    int64_t MaxWork = 500000000;
};

// Evaluates every object's stack, children before parents (a composite's input is its
// descendants' output), one step at a time: a step runs when the estimate of its output
// from the mesh it really receives fits in what the scene has left (the limits less what
// the objects evaluated before really built), and its work in what is left of the work
// bound. A stack whose next step does not fit is held. With a Time, the stacks are
// evaluated for its current frame, as the first drawing would, so that drawing keeps
// these meshes. Returns the names of the held objects.
std::vector<std::string> EvaluateWithinBudget(TScene& Scene, const TEvaluationBudget& Budget,
                                              const TProjectTime* Time = nullptr);

// The note shown after opening a file with held stacks; empty for none.
std::string HeldStacksNote(const std::vector<std::string>& Names);
