#pragma once
// What the user has selected besides the selected node (which the scene's nodes carry):
// the modelling state and its elements, and the paint page's colours.
#include "base/uMath.h"

#include <array>
#include <cstdint>
#include <vector>

// Modelling sub-modes: the kind of mesh element the modelling mode picks.
enum TModelingSubMode : int { msVertices = 0, msEdges = 1, msFaces = 2 };

struct TEditorSelection {
    // The hierarchy tree's "Scene" item was clicked last: the pages show the scene.
    bool SceneRootSelected = false;

    // Modelling mode.
    bool ModelingOn = false;
    int ModelingSubMode = msVertices;
    int HoveredVertex = -1, HoveredEdge = -1, HoveredFace = -1;
    std::vector<int32_t> SelectedVertices, SelectedEdges, SelectedFaces;

    // Paint page.
    int PaintMode = 0;
    std::array<TVec3, 8> RecentColors{};
    int RecentColorCount = 0;

    void ClearElements()
    {
        SelectedVertices.clear();
        SelectedEdges.clear();
        SelectedFaces.clear();
    }
    void ClearHover() { HoveredVertex = HoveredEdge = HoveredFace = -1; }
};
