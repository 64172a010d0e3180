#pragma once
// One cinematic frame in the current GL context: procedural sky, sun and moon, the
// lights and fog of the time of day, the scene in the Cinematic mode (with the celestial
// tint and the contact light rig of the hour), then chromatic aberration, exposure, rim
// light, sun flare and vignette. It draws with its own draw context, so it changes no
// setting of other views; whatever it changes in the scene for the frame (visibility, the
// light rig) and every GL state it touches are put back on every path, exceptions
// included.
#include "render/uCinematicMath.h"
#include "render/uSceneDraw.h"
#include "scene/uPropertyTypes.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

class TScene;
class TSceneObject;
class TCinematicEnvironment;

class TCinematicRenderer {
public:
    TCinematicRenderer();
    TCinematicRenderer(const TCinematicRenderer&) = delete;
    TCinematicRenderer& operator=(const TCinematicRenderer&) = delete;
    // GL objects must be released with ReleaseGLObjects while the context is current.
    ~TCinematicRenderer() = default;

    TCinematicCamera Camera;

    // Binds a face's texture id for the scene drawing (0 unbinds).
    void SetTextureBinder(std::function<void(int32_t)> Bind);

    // Draws one frame of W x H pixels into the current framebuffer. Environment may be
    // null (no sky, lights or fog; a 55-degree lens); Context is the frame the scene is
    // evaluated at (all zero for the authored values).
    void RenderFrame(TScene& Scene, const TCinematicEnvironment* Environment,
                     const TPropertyEvaluationContext& Context, int W, int H);

    // Deletes the post-effect texture and the vignette mask; the context must be current.
    void ReleasePostTexture();
    void ReleaseGLObjects() { ReleasePostTexture(); }
    int PostTextureWidth() const { return PostWidth; }
    int PostTextureHeight() const { return PostHeight; }

    // Window position (rows from the top) of CameraPosition + 100 x Direction with the
    // frame's matrices; false when it does not project in front of the camera.
    bool ProjectCelestialPoint(const TVec3& Direction, float& X, float& Y) const;

    TSceneRenderer& SceneRenderer() { return Scene; }

private:
    struct TFrameObject {
        TSceneObject* Object;
        const TMeshData* Mesh;
        TMatrix4 World;
    };
    void CollectFrameObjects(TScene& Scene, const TPropertyEvaluationContext& Context);
    void SetLightsAndFog();
    void DrawSkyGradient();
    void DrawSunAndMoon();
    void ApplyCelestialTint();
    void ApplyChromaticAberration();
    void ApplyExposure();
    void DrawRimLight();
    void DrawSunFlare();
    void DrawVignette();
    void EnsurePostTexture(int Width, int Height);
    void BeginScreenPass() const;
    void EndScreenPass() const;

    TSceneRenderer Scene;
    // The frame being drawn.
    const TCinematicEnvironment* Env = nullptr;
    TCelestialLighting Light{};
    int W = 0, H = 0;
    double ModelView[16]{}, Projection[16]{};
    int Viewport[4]{};
    std::vector<TFrameObject> Objects;
    std::unordered_map<const TSceneObject*, std::vector<TVec3>> Tinted;
    // Post effects.
    unsigned PostTexture = 0;
    int PostWidth = 0, PostHeight = 0;
    unsigned VignetteTexture = 0;
    struct TVignetteKey {
        int W = 0, H = 0;
        float Radius = -1, Softness = -1, Strength = -1;
        bool operator==(const TVignetteKey&) const = default;
    } VignetteMade;
    std::vector<unsigned char> VignetteMask;
    std::vector<float> RimColors;      // RGBA per vertex of the object being drawn
    std::vector<uint32_t> RimIndices;  // its faces as triangles
};
