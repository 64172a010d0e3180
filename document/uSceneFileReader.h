#pragma once
// Reading scene files of every format version (1 to 8, with or without a node
// hierarchy) and the transactional load: the file is read into staging objects,
// validated, and only then exchanged with the project's contents. A file that fails
// anywhere leaves the project as it was.
#include <cstdint>
#include <string>

class TAnimationDocument;
struct TEvaluationBudget;
class TFloorPlanDocument;
class TScene;
class TSceneObject;
class TTextLineSource;

// Raises "Animation document is nil" without an animation document. Notes, when given,
// receives what the user should know about an accepted file (stacks left unevaluated,
// textures left out for the load's budget), one paragraph each; empty when nothing. The
// stacks are evaluated within Budget (the default one when none is given).
void LoadSceneFromFile(TScene& Scene, const std::string& FileName, TAnimationDocument* Animation,
                       TFloorPlanDocument* FloorPlans, std::string* Notes = nullptr,
                       const TEvaluationBudget* Budget = nullptr);
void LoadSceneFileTransactional(TScene& Scene, const std::string& FileName,
                                TAnimationDocument* Animation, TFloorPlanDocument* FloorPlans,
                                std::string* Notes = nullptr,
                                const TEvaluationBudget* Budget = nullptr);
// Reads the whole file into Scene (emptied first) and the given documents.
void ReadSceneFile(TScene& Scene, const std::string& FileName, TAnimationDocument* Animation,
                   TFloorPlanDocument* FloorPlans);
// The same from any line source; FileName names the file in messages and resolves
// relative texture paths.
void ReadSceneLines(TScene& Scene, TTextLineSource& File, const std::string& FileName,
                    TAnimationDocument* Animation, TFloorPlanDocument* FloorPlans);

// Items 1 to 3 of Text as reals (0 for an item that is missing or not a number). Items
// are separated by runs of blanks or control characters; a double-quoted item is one.
void ParseVec3Text(const std::string& Text, float& X, float& Y, float& Z);

// A terrain object loaded from a file gets its heightmap back from its stored mesh when
// that mesh is the grid the terrain builder makes (n x n vertices, n a power of two).
bool RebuildHeightmapFromTerrainMesh(TSceneObject& Object);
