#pragma once
// Picking: a click in one of the four views becomes a ray, every visible object the ray
// hits is collected on the mesh the views draw at the current frame, nearest first. The
// arithmetic lives here as free functions so it can be checked without a window; the
// window's routines (TMainForm::ScreenRay, CollectPickHits, PickObjectAt, the pick menu
// and the selection) are in uPicking.cpp too.
#include "base/uMath.h"
#include "render/uCamera.h"

#include <array>
#include <cstdint>
#include <vector>

class TProjectDocument;
class TScene;
class TSceneNode;

struct TPickHit {
    uint32_t NodeId = 0;
    float Distance = 0;
};

// Window point (x right, y up from the viewport's GL origin, depth 0..1) back to the
// world, as gluUnProject does. False when the matrices have no inverse (for example
// all zero before the first paint) or the point lands at infinity.
bool UnProjectPoint(double WinX, double WinY, double WinZ, const TGLMatrix& ModelView,
                    const TGLMatrix& Projection, const std::array<int, 4>& Viewport, TVec3& World);

// The ray of pixel (X, Y) (logical pixels, y down, over the whole GL view of W x H
// logical pixels) in one of the orthographic views (vkTop, vkFront, vkLeft).
void OrthoScreenRay(int View, int X, int Y, int W, int H, const TOrthoViews& Ortho, TVec3& Origin,
                    TVec3& Direction);

// Sorts by ascending distance; equal distances keep their order.
void SortPickHits(std::vector<TPickHit>& Hits);

// Every visible, non-skybox object that the ray hits at the document's current frame,
// nearest first. A hidden node hides its subtree; objects with a singular world matrix
// are skipped.
std::vector<TPickHit> CollectPickHitsAlongRay(TProjectDocument& Document, const TVec3& Origin,
                                              const TVec3& Direction);

// Exactly the given node carries Selected afterwards; none deselects every node.
void SetSelectedNode(TScene& Scene, const TSceneNode* Node);
