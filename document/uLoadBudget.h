#pragma once
// What opening one file may build and spend on evaluating its objects' modifier stacks.
// Each object is held to the editor's own limits, the scene's meshes together to a room
// in memory, and all the stacks' work to one bound counted by a work meter. Stacks
// stopped by the room or the work are held unevaluated (their objects show their base
// meshes) and named in a note for the user.
#include <cstdint>
#include <string>
#include <vector>

class TProjectTime;
class TScene;

struct TEvaluationBudget {
    // What the evaluated meshes of the whole scene may hold together.
    int64_t MaxVertices = 4000000;
    int64_t MaxFaces = 4000000;
    // The work of all stacks together, in work units (TWorkMeter): about three seconds
    // of kernel work on one core.
    int64_t MaxWork = 3000000000;
};

// Evaluates every object's stack, children before parents (a composite's input is its
// descendants' output), each within the tighter of the editor's own limits and the room
// the objects evaluated before it left (counted from the meshes they really built), and
// all of them on one work meter of Budget.MaxWork. A stack stopped by the room or the
// meter is held, named after the step it stopped at; a stack that fails by the editor's
// own limits or any other way fails as it would in the editor. With a Time, the stacks
// are evaluated for its current frame, as the first drawing would, so that drawing keeps
// these meshes. Returns the names of the held objects; WorkUsed, when given, receives the
// units the meter was charged.
std::vector<std::string> EvaluateWithinBudget(TScene& Scene, const TEvaluationBudget& Budget,
                                              const TProjectTime* Time = nullptr,
                                              int64_t* WorkUsed = nullptr);

// The note shown after opening a file with held stacks; empty for none.
std::string HeldStacksNote(const std::vector<std::string>& Names);
