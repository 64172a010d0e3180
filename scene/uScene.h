#pragma once
// One project's node hierarchy: the root group, the registry of every node in the tree,
// the change notification that keeps the windows and the project document in step, the
// structural edits of the tree (uSceneHierarchy.cpp), its statistics
// (uSceneStatistics.cpp) and a few scene-wide settings the scene file stores.
//
// The scene owns every registered node. A subtree taken out of the scene (detached or
// cloned) is owned by a TDetachedSubtree until it is inserted again.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/uMath.h"
#include "scene/uContactLighting.h"
#include "scene/uSceneNode.h"
#include "scene/uSceneObject.h"

class TCinematicEnvironment;
class TMeshData;
class TScene;

// Frees a whole subtree: the node and everything below it (a node alone frees only its
// child list).
struct TSubtreeDeleter {
    void operator()(TSceneNode* Node) const;
};
using TDetachedSubtree = std::unique_ptr<TSceneNode, TSubtreeDeleter>;

enum TSceneChangeKind : int32_t {
    sckNodeAdded = 0,
    sckNodeRemoved = 1,
    sckHierarchyChanged = 3,
};

// NodeId is 0 when the change concerns the whole scene.
using TSceneChangeEvent =
    std::function<void(TScene& Sender, TSceneChangeKind Kind, uint32_t NodeId)>;
using TSceneNodeRemovingEvent = std::function<void(TScene& Sender, TSceneNode& Node)>;
// Handed out by AddChangeListener; 0 is never a valid listener.
using TSceneChangeListenerId = uint64_t;

class TScene {
public:
    TScene();
    // Frees every node. Sends nothing: OnChange, the listeners and OnNodeRemoving are
    // dropped first, so no receiver is called while the program is tearing down.
    virtual ~TScene();
    TScene(const TScene&) = delete;
    TScene& operator=(const TScene&) = delete;

    TSceneGroup* GetRoot() const { return Root; }
    // Every node in the hierarchy, root first, in registration order.
    const std::vector<TSceneNode*>& GetNodes() const { return Nodes; }
    // Registered nodes without the root.
    int NodeCount() const { return static_cast<int>(Nodes.size()) - 1; }
    bool IsRegistered(const TSceneNode* Node) const;

    // Registry: no notification. Used by the operations below, the scene file reader and
    // the hierarchy commands.
    void RegisterNode(TSceneNode* Node);
    void RegisterSubtree(TSceneNode* Node);
    void UnregisterNode(TSceneNode* Node);
    void UnregisterSubtree(TSceneNode* Node);
    void LinkToParent(TSceneNode* Node, TSceneNode* Parent, int Index);
    void UnlinkFromParent(TSceneNode* Node);

    // Creating nodes; each sends sckNodeAdded. Parent none means the root.
    // A primitive at the origin, named after its type and the next primitive number
    // ("Cube 1", "Sphere 2", ...), appended under the root. A type outside the
    // enumeration makes an empty generated object.
    TSceneObject* AddPrimitive(TPrimitiveType PrimType);
    // A generated object holding Mesh (an empty mesh when none), appended under Parent.
    TSceneObject* AddMeshObject(const std::string& Name, std::unique_ptr<TMeshData> Mesh,
                                TSceneNode* Parent);
    TSceneGroup* CreateGroup(const std::string& Name, TSceneNode* Parent, int Index);

    // Unlinks and frees a subtree, calling OnNodeRemoving for the node and then for its
    // children from the last to the first (recursively). No notification. Does nothing
    // for none or the root.
    void DeleteSubtree(TSceneNode* Node);
    // DeleteSubtree, then sckNodeRemoved with the node's id. Nothing for none or the root.
    void DeleteNode(TSceneNode* Node);
    // Takes the subtree out of the scene without freeing it and sends sckNodeRemoved;
    // the caller owns what comes back. Empty for none or the root.
    TDetachedSubtree DetachSubtree(TSceneNode* Node);
    // Registers the subtree, links it under Parent at Index and sends sckNodeAdded. On
    // success the scene takes the subtree over and True is returned; when Subtree or
    // Parent is none, or Parent is not a registered node outside the subtree, nothing
    // happens and the caller keeps the subtree.
    bool InsertSubtree(TDetachedSubtree& Subtree, TSceneNode* Parent, int Index);
    // Deletes every node below the root, then sends one sckNodeRemoved with id 0.
    // Palette, camera and environment stay.
    void Clear();

    // Deep copy with fresh ids, neither registered nor linked. Every copy keeps its
    // source's name, transform, Visible and Locked; Selected is False. Objects are copied
    // with their meshes and modifiers (TSceneObject::Duplicate).
    TDetachedSubtree CloneSubtree(const TSceneNode* Node) const;

    // Queries.
    // Constant time. Node ids must not change while a node is registered.
    TSceneNode* FindNodeById(uint32_t Id) const;
    // The first object with Selected / the first object, in pre-order from the root.
    TSceneObject* GetSelectedObject() const;
    TSceneObject* GetFirstObject() const;
    bool IsLockedInHierarchy(const TSceneNode* Node) const;
    // Any registered node's name equals Name, ignoring ASCII case.
    bool NodeExistsWithName(const std::string& Name) const;

    // Notification: OnChange first, then every listener in the order they were added.
    void NotifyChange(TSceneChangeKind Kind, uint32_t NodeId);
    // 0 (and nothing added) for an empty handler. Adding the same handler twice makes two
    // entries, each called.
    TSceneChangeListenerId AddChangeListener(TSceneChangeEvent Handler);
    void RemoveChangeListener(TSceneChangeListenerId Id);

    // Hierarchy operations (uSceneHierarchy.cpp). The raising ones raise
    // ESceneHierarchyError and leave the hierarchy as it was. A reparent that would leave a
    // world matrix in a moved subtree non-finite is refused ("Unable to move "%s": the
    // world matrix of "%s" would not be finite.").
    bool CanReparent(const TSceneNode* Node, const TSceneNode* NewParent) const;
    void ReparentNode(TSceneNode* Node, TSceneNode* NewParent, int Index, bool KeepLocal);
    void ReparentNodes(const std::vector<TSceneNode*>& MovedNodes, TSceneNode* NewParent, int Index,
                       bool KeepLocal);
    void RestoreHierarchy(uint32_t NodeId, uint32_t ParentId, int Index, const TVec3& Position,
                          const TVec3& Rotation, const TVec3& Scale);
    // The copy sits right after the source, selected, under a fresh name; none for none
    // and for the root.
    TSceneNode* DuplicateSubtree(TSceneNode* Node);
    // Every problem found, one per line joined by CR LF; True when there is none. World
    // gives the matrix each node's finiteness is judged by, its own when none (a save
    // judges the matrices of the values the file will hold); it is asked only for nodes
    // that reach the root, the root itself included.
    bool ValidateHierarchy(std::string& Messages,
                           const std::function<const TMatrix4&(TSceneNode&)>& World = {});

    // Exchanges the document contents of two scenes (the file reader's commit): the root
    // and the registry, LoadVersion, the palette and the camera. Both contact caches are
    // cleared (their results belong to the other tree now) and this scene takes a copy of
    // Other's light rig. Listeners, handlers, the cache objects, the linked environment
    // and the contact lighting switch stay; nothing is notified.
    void SwapContents(TScene& Other);

    // Statistics over the visible part of the tree (uSceneStatistics.cpp): a hidden node
    // hides its whole subtree. They evaluate meshes as needed.
    int64_t CountObjects() const;
    int64_t CountVertices() const;
    int64_t CountTriangles() const;
    int64_t CountUniqueTextures() const;
    // Vertices at 32 bytes and face corners at 4 bytes, in whole KB.
    int64_t EstimateMeshMemoryKB() const;
    // The scene page's text: the counts above, the process memory and CPU figures.
    std::string GetStatisticsText() const;

    // Scene-wide settings stored in the scene file.
    int32_t LoadVersion = 1;
    std::array<TVec3, 8> Palette;
    int32_t PaletteCount = 0;
    // Linked by the project document; not owned.
    TCinematicEnvironment* Environment = nullptr;
    TVec3 CameraPosition{0, 0, 0};
    float CameraYaw = 0;
    float CameraPitch = 0;
    bool ContactLightingOn = true;
    void SetContactLightingEnabled(bool Value) { ContactLightingOn = Value; }

    // Contact lighting of the visible objects. The cache is kept until it is invalidated
    // or cleared: it never notices edits by itself.
    // The defaults, with the first seven fields taken from the linked environment.
    void GetContactLightingSettings(TContactLightingSettings& Settings) const;
    // Copies the whole rig; neither invalidates nor re-lights the cache.
    void SetContactLightRig(const TContactLightRig& Rig) { LightRig = Rig; }
    void GetContactLightRig(TContactLightRig& Rig) const { Rig = LightRig; }
    void InvalidateContactLighting() { ContactCache->Invalidate(); }
    // An environment is linked, its contact lighting is on and the cache is not built
    // (the scene's own switch is not consulted).
    bool ContactLightingNeedsRefresh() const;
    // With the scene's switch on: switches the cache on or off by the settings and, when
    // on and not built, builds it from the visible objects and lights it with the rig.
    void RefreshContactLighting();
    TContactLightingCache& GetContactCache() { return *ContactCache; }
    const TContactLightingCache& GetContactCache() const { return *ContactCache; }

    TSceneChangeEvent OnChange;
    TSceneNodeRemovingEvent OnNodeRemoving;

private:
    struct TListenerEntry {
        TSceneChangeListenerId Id;
        TSceneChangeEvent Handler;
    };
    struct TIdSlot {
        TSceneNode* First;  // the first registered node with the id
        int Count;          // registered nodes with the id
    };

    void DeleteSubtreeKeepingHoles(TSceneNode* Node);
    void UnregisterKeepingHole(TSceneNode* Node);
    void CompactRegistry();
    void RebuildIdIndex() const;

    TSceneGroup* Root;
    // Registration order. Removal leaves a null hole that CompactRegistry closes at the end
    // of the operation, so removing a subtree costs one pass, not one per node.
    std::vector<TSceneNode*> Nodes;
    std::unordered_map<const TSceneNode*, size_t> Slots;  // node -> index in Nodes
    mutable std::unordered_map<uint32_t, TIdSlot> IdIndex;
    size_t Holes = 0;
    std::vector<std::shared_ptr<TListenerEntry>> Listeners;
    TSceneChangeListenerId NextListenerId = 1;
    std::unique_ptr<TContactLightingCache> ContactCache;
    TContactLightRig LightRig;
};

// The scene of the current project document; set and cleared by the document.
extern TScene* CurrentScene;
