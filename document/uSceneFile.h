#pragma once
// The scene file (".qstn"): a line-oriented text file holding the environment and
// camera, the texture list, the palette, the floor plans, the node hierarchy with meshes
// and modifier stacks, and the animation. The writer always writes format version 8;
// the reader (uSceneFileReader) takes every older version too.
#include <string>

class TAnimationDocument;
class TFloorPlanDocument;
class TScene;
class TSceneNode;
class TSceneObject;
class TTextLineSink;

constexpr int kSceneFileVersion = 8;
constexpr const char* kSceneFileHeader = "#Quillstone";

// Raises "Animation document is nil" without an animation document, else saves safely.
void SaveSceneToFile(TScene& Scene, const std::string& FileName,
                     const TAnimationDocument* Animation, const TFloorPlanDocument* FloorPlans);
// What the reader would refuse in the file written from Scene and FloorPlans, found by the
// reader's own checks on what the file will hold: the hierarchy's validation (a world
// matrix that is not finite once every value is written as the writer writes it, a
// non-finite value as 0), a name longer than a line the reader takes, floor-plan settings
// the section reader does not parse. Empty when the file would open; otherwise the first problem,
// naming the node or plan.
std::string SceneReadBackProblem(TScene& Scene, const TFloorPlanDocument* FloorPlans);
// Replaces the file so that its name always holds the old or the new scene
// (SaveTextFileSafely): a failed save leaves the old file as it was. A scene with a
// problem above is refused before anything is written: "Cannot save the scene: the file
// would not open again." and the problem on the next line.
void SaveSceneFileSafely(TScene& Scene, const std::string& FileName,
                         const TAnimationDocument* Animation, const TFloorPlanDocument* FloorPlans);
// Creates (or truncates) FileName and writes the whole file, synced to disk.
void WriteSceneFile(TScene& Scene, const std::string& FileName, const TAnimationDocument* Animation,
                    const TFloorPlanDocument* FloorPlans);
// The same lines into any sink (FileName gives the folder texture paths are relative to).
void WriteSceneLines(TScene& Scene, const std::string& FileName,
                     const TAnimationDocument* Animation, const TFloorPlanDocument* FloorPlans,
                     TTextLineSink& File);
// Pre-order blocks of Node's descendants.
void WriteSceneNodes(TScene& Scene, const TSceneNode& Node, TTextLineSink& File);
void WriteSceneNode(TScene& Scene, TTextLineSink& File, const TSceneNode& Node);
void WriteObjectMeshAndModifiers(TTextLineSink& File, const TSceneObject& Object);

// Text of a name or path for one line of the file: CR and LF become blanks.
std::string SingleLineText(const std::string& Text);
// Path of Target relative to the folder Base (a file's folder), with "/" separators;
// Target itself when no relative path exists.
std::string RelativePathFrom(const std::string& BaseFolder, const std::string& Target);
