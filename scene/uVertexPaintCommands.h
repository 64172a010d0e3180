#pragma once
// The three undoable commands that write vertex colours into an object's base mesh: a
// per-element paint, a one-colour fill and a per-vertex gradient. Each holds the object's
// node id, looks the object up in the scene at every run, and does nothing when it is gone
// or has no base mesh; element indices outside the mesh are skipped. Element kinds: 0
// vertices, 1 edges (both ends), 2 faces (every corner).
#include "base/uCommandHistory.h"
#include "base/uMath.h"

#include <cstdint>
#include <string>
#include <vector>

class TScene;
class TSceneObject;

class TVertexPaintCommandBase : public TEditorCommand {
protected:
    TVertexPaintCommandBase(TScene& Scene, uint32_t NodeId) : Scene(Scene), NodeId(NodeId) {}
    // The object, when it still exists and has a base mesh.
    TSceneObject* Target() const;
    // Writes Colors[i] (or the one Color) to element Indices[i] of the given kind in list
    // order, then marks the mesh dirty.
    void WriteElements(int32_t Kind, const std::vector<int32_t>& Indices,
                       const std::vector<TVec3>& Colors) const;
    void WriteElementsOneColor(int32_t Kind, const std::vector<int32_t>& Indices,
                               const TVec3& Color) const;

    TScene& Scene;
    uint32_t NodeId;
};

class TVertexPaintCommand : public TVertexPaintCommandBase {
public:
    // Raises EArgumentError when the lists differ in length, the kind is not 0..2 or a new
    // colour is not finite.
    TVertexPaintCommand(TScene& Scene, uint32_t NodeId, int32_t ElementKind,
                        std::vector<int32_t> Indices, std::vector<TVec3> OldColors,
                        std::vector<TVec3> NewColors, std::string Caption);
    std::string GetDescription() const override;
    void Execute() override;
    void Undo() override;

private:
    int32_t ElementKind;
    std::vector<int32_t> Indices;
    std::vector<TVec3> OldColors, NewColors;
    std::string Caption;
};

class TVertexPaintFillCommand : public TVertexPaintCommandBase {
public:
    TVertexPaintFillCommand(TScene& Scene, uint32_t NodeId, int32_t ElementKind,
                            std::vector<int32_t> Indices, std::vector<TVec3> OldColors,
                            const TVec3& FillColor);
    std::string GetDescription() const override;
    void Execute() override;
    void Undo() override;

private:
    int32_t ElementKind;
    std::vector<int32_t> Indices;
    std::vector<TVec3> OldColors;
    TVec3 FillColor;
};

class TVertexPaintGradientCommand : public TVertexPaintCommandBase {
public:
    TVertexPaintGradientCommand(TScene& Scene, uint32_t NodeId, std::vector<int32_t> Faces,
                                std::vector<TVec3> OldColors, std::vector<TVec3> NewColors,
                                std::vector<int32_t> VertexIndices);
    std::string GetDescription() const override;
    void Execute() override;
    void Undo() override;

private:
    std::vector<int32_t> Faces;  // only for the description
    std::vector<TVec3> OldColors, NewColors;
    std::vector<int32_t> VertexIndices;
};
