#pragma once
// Drawing of the whole scene into the current GL view in one of four display modes, the
// scene lighting switch, the ground dot grid and world axes of the Shaded mode, and the
// transform gizmo of the selected object.
#include "base/uMath.h"
#include "render/uGizmoMode.h"
#include "render/uMeshDrawCache.h"
#include "scene/uPropertyTypes.h"

#include <cstdint>
#include <functional>
#include <vector>

class TContactLightingCache;
class TScene;
class TSceneNode;
class TSceneObject;

// Display modes.
enum : int32_t { dmShaded = 0, dmWireframe = 1, dmSolid = 2, dmCinematic = 3 };

// The scene light's direction at start.
inline constexpr TVec3 DefaultSceneLightDirection{0.4f, 0.9f, 0.6f};

// What a GL view draws the scene with. Each view owns one, so a second view (the
// cinematic window) draws with its own mode, light and texture binding.
struct TSceneDrawContext {
    int32_t DisplayMode = dmWireframe;
    float GridSize = 0.25f;                             // spacing of the Shaded mode's ground grid
    TVec3 SelectionColor{1, 1, 1};                      // the selection box
    TVec3 LightDirection = DefaultSceneLightDirection;  // towards the scene light
    // Binds the texture of a face's texture id (0 unbinds); unset binds nothing.
    std::function<void(int32_t)> BindTexture;
};

// The main window's view settings, which it copies into its views' draw context on every
// paint; the drawing itself reads only its draw context.
extern int32_t DisplayMode;        // 1 (Wireframe) at start
extern float GridSize;             // 0.25 at start
extern TVec3 SelectionColor;       // set every frame from the current tool
extern TVec3 SceneLightDirection;  // (0.4, 0.9, 0.6) at start

// One directional light along LightDirection; colour material on front faces.
void EnableSceneLighting(const TVec3& LightDirection = DefaultSceneLightDirection);
void DisableSceneLighting();
// Points at (x, 0, z) every max(Step, 0.5) units over +-min(Extent / 2, 25).
void DrawGridPoints(float Extent, float Step);
void DrawWorldAxes();
// Arrows (move, scale) or rings (rotate) at the object's world position; nothing for
// gmSelect or no object. HoveredAxis -1 none, 0 X, 1 Y, 2 Z.
void DrawTransformGizmo(TSceneNode* Object, TGizmoMode Tool, int HoveredAxis);
// The same at a given world position with arms of the given length.
void DrawTransformGizmoAt(const TVec3& Position, float Length, TGizmoMode Tool, int HoveredAxis);
void DrawGizmoRing(int Axis, int Segments, float Radius);
// Largest of the node's scale components.
float NodeMaxScale(const TSceneNode& Node);

// The contact-lit colour of every vertex of the object's mesh from the colours Options
// would draw; false when the cache holds nothing for that mesh.
bool ContactLitColors(const TContactLightingCache& Cache, const TSceneObject& Object,
                      const TMeshData& Mesh, const TMeshDrawOptions& Options,
                      std::vector<TVec3>& Colors);

// Draws a scene with its draw context; keeps the per-paint triangle lists of the meshes
// it draws.
class TSceneRenderer {
public:
    // Set by the owning view before each render.
    TSceneDrawContext Draw;

    // Call once per paint, before the first view.
    void BeginPaint() { Cache.BeginPaint(); }
    void Render(TScene& Scene, const TPropertyEvaluationContext& Context);
    void RenderDefault(TScene& Scene);
    static void SetEvaluationContextAll(TScene& Scene, const TPropertyEvaluationContext& Context);
    // One object's evaluated mesh with the display mode's colours, textures and
    // selection box. The mesh itself is never changed.
    void DrawObjectMesh(TSceneObject& Object, bool UseContactCache);
    TMeshDrawCache& DrawCache() { return Cache; }

    // The contact-lit colour of every vertex of an object's mesh, from the colours the
    // options would draw; false when there is none. Unset, the colours come from the
    // contact cache of the scene being rendered.
    std::function<bool(TSceneObject&, const TMeshData&, const TMeshDrawOptions&,
                       std::vector<TVec3>&)>
        ContactColors;
    // Colours to draw in place of an object's vertex colours in the Shaded and Cinematic
    // modes (the cinematic tint), or none; used only when it has one per vertex.
    std::function<const std::vector<TVec3>*(const TSceneObject&, const TMeshData&)> BaseColors;

private:
    void RenderSkyboxPass(TSceneNode* Root, const TMatrix4& Parent,
                          const TPropertyEvaluationContext& Context);
    void RenderObjectPass(TSceneNode* Root, const TMatrix4& Parent,
                          const TPropertyEvaluationContext& Context);
    TMeshDrawCache Cache;
    const TContactLightingCache* ContactCache = nullptr;  // of the scene Render is drawing
};
