#include "scene/uVertexPaintCommands.h"

#include "base/uErrors.h"
#include "base/uMesh.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "scene/uVertexPaint.h"

#include <utility>

namespace {

void CheckKind(int32_t Kind)
{
    if (Kind < MeshElementVertices || Kind > MeshElementFaces)
        throw EArgumentError("Unknown mesh element kind " + std::to_string(Kind));
}

void CheckColors(const std::vector<TVec3>& Colors)
{
    for (const TVec3& c : Colors)
        if (!IsFiniteColor(c))
            throw EArgumentError("A vertex colour is not a finite number");
}

void CheckLengths(size_t A, size_t B)
{
    if (A != B)
        throw EArgumentError("Vertex paint lists differ in length (" + std::to_string(A) + " and " +
                             std::to_string(B) + ")");
}

void WriteElement(TMeshData& Mesh, int32_t Kind, int32_t Index, const TVec3& Color)
{
    for (int32_t v : ElementVertices(Mesh, Kind, Index))
        Mesh.Vertices[size_t(v)].Color = Color;
}

}  // namespace

TSceneObject* TVertexPaintCommandBase::Target() const
{
    auto* object = dynamic_cast<TSceneObject*>(Scene.FindNodeById(NodeId));
    return object && object->GetBaseMesh() ? object : nullptr;
}

void TVertexPaintCommandBase::WriteElements(int32_t Kind, const std::vector<int32_t>& Indices,
                                            const std::vector<TVec3>& Colors) const
{
    TSceneObject* object = Target();
    if (!object)
        return;
    TMeshData& mesh = *object->GetBaseMesh();
    for (size_t i = 0; i < Indices.size() && i < Colors.size(); ++i)
        WriteElement(mesh, Kind, Indices[i], Colors[i]);
    object->MarkMeshDirty();
}

void TVertexPaintCommandBase::WriteElementsOneColor(int32_t Kind,
                                                    const std::vector<int32_t>& Indices,
                                                    const TVec3& Color) const
{
    TSceneObject* object = Target();
    if (!object)
        return;
    TMeshData& mesh = *object->GetBaseMesh();
    for (int32_t index : Indices)
        WriteElement(mesh, Kind, index, Color);
    object->MarkMeshDirty();
}

TVertexPaintCommand::TVertexPaintCommand(TScene& Scene, uint32_t NodeId, int32_t ElementKind,
                                         std::vector<int32_t> Indices, std::vector<TVec3> OldColors,
                                         std::vector<TVec3> NewColors, std::string Caption)
    : TVertexPaintCommandBase(Scene, NodeId), ElementKind(ElementKind), Indices(std::move(Indices)),
      OldColors(std::move(OldColors)), NewColors(std::move(NewColors)), Caption(std::move(Caption))
{
    CheckKind(ElementKind);
    CheckLengths(this->Indices.size(), this->OldColors.size());
    CheckLengths(this->Indices.size(), this->NewColors.size());
    CheckColors(this->NewColors);
}

std::string TVertexPaintCommand::GetDescription() const
{
    return Caption + " (" + std::to_string(Indices.size()) + " elements)";
}

void TVertexPaintCommand::Execute()
{
    WriteElements(ElementKind, Indices, NewColors);
}

void TVertexPaintCommand::Undo()
{
    WriteElements(ElementKind, Indices, OldColors);
}

TVertexPaintFillCommand::TVertexPaintFillCommand(TScene& Scene, uint32_t NodeId,
                                                 int32_t ElementKind, std::vector<int32_t> Indices,
                                                 std::vector<TVec3> OldColors,
                                                 const TVec3& FillColor)
    : TVertexPaintCommandBase(Scene, NodeId), ElementKind(ElementKind), Indices(std::move(Indices)),
      OldColors(std::move(OldColors)), FillColor(FillColor)
{
    CheckKind(ElementKind);
    CheckLengths(this->Indices.size(), this->OldColors.size());
    CheckColors({FillColor});
}

std::string TVertexPaintFillCommand::GetDescription() const
{
    return "Fill (" + std::to_string(Indices.size()) + " elements)";
}

void TVertexPaintFillCommand::Execute()
{
    WriteElementsOneColor(ElementKind, Indices, FillColor);
}

void TVertexPaintFillCommand::Undo()
{
    WriteElements(ElementKind, Indices, OldColors);
}

TVertexPaintGradientCommand::TVertexPaintGradientCommand(TScene& Scene, uint32_t NodeId,
                                                         std::vector<int32_t> Faces,
                                                         std::vector<TVec3> OldColors,
                                                         std::vector<TVec3> NewColors,
                                                         std::vector<int32_t> VertexIndices)
    : TVertexPaintCommandBase(Scene, NodeId), Faces(std::move(Faces)),
      OldColors(std::move(OldColors)), NewColors(std::move(NewColors)),
      VertexIndices(std::move(VertexIndices))
{
    CheckLengths(this->VertexIndices.size(), this->OldColors.size());
    CheckLengths(this->VertexIndices.size(), this->NewColors.size());
    CheckColors(this->NewColors);
}

std::string TVertexPaintGradientCommand::GetDescription() const
{
    return "Gradient (" + std::to_string(Faces.size()) + " faces)";
}

void TVertexPaintGradientCommand::Execute()
{
    WriteElements(MeshElementVertices, VertexIndices, NewColors);
}

void TVertexPaintGradientCommand::Undo()
{
    WriteElements(MeshElementVertices, VertexIndices, OldColors);
}
