#pragma once
// Writers of crafted scene files, each repeating one entry or stretching one line, shared
// by the tests (small sizes) and the hostile benchmarks (the sizes a crafted file uses).
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace HostileFiles {

inline const char* const kHead = "#Quillstone\r\nVERSION 8\r\nNOENV\r\nNOTEX\r\n";

inline std::string GroupBlock(uint64_t Id, const std::string& Name)
{
    return "BEGINNODE\r\nID " + std::to_string(Id) + "\r\nTYPE group\r\nPARENT 0\r\nNAME " + Name +
           "\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\nENDNODE\r\n";
}

// A header and "NODES 1", then line 6: Bytes characters "A" without a line end.
inline void WriteOverlongLine(const std::string& Path, uint64_t Bytes)
{
    std::ofstream out(Path, std::ios::binary);
    out << kHead << "NODES 1\r\n";
    const std::string chunk(1 << 20, 'A');
    for (uint64_t left = Bytes; left > 0;) {
        const uint64_t n = left < chunk.size() ? left : chunk.size();
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
}

// One clip of node 1 with one float track of Keys keys, in descending frame order.
inline void WriteDescendingKeys(const std::string& Path, int Keys)
{
    std::ofstream out(Path, std::ios::binary);
    out << kHead << "NODES 1\r\n"
        << GroupBlock(1, "Animated") << "BEGIN_ANIMATION\r\nPROJECT 0 100 0 30 0\r\nCLIP 1 0 "
        << Keys << " 0\r\nTRACK 0 0 1 0 0\r\n";
    for (int k = Keys - 1; k >= 0; --k)
        out << "KEY " << k << " 1 " << k << "\r\n";
    out << "ENDTRACK\r\nENDCLIP\r\nEND_ANIMATION\r\n";
}

// One clip of node 1 with Tracks float tracks (property ids 11, 12, ...), one key each;
// with Duplicate the last track repeats the first one's property.
inline void WriteManyTracks(const std::string& Path, int Tracks, bool Duplicate)
{
    std::ofstream out(Path, std::ios::binary);
    out << kHead << "NODES 1\r\n"
        << GroupBlock(1, "Animated")
        << "BEGIN_ANIMATION\r\nPROJECT 0 100 0 30 0\r\nCLIP 1 0 100 0\r\n";
    for (int t = 0; t < Tracks; ++t) {
        const int property = Duplicate && t == Tracks - 1 ? 11 : 11 + t;
        out << "TRACK 0 0 " << property << " 0 0\r\nKEY 10 1 " << t << "\r\nENDTRACK\r\n";
    }
    out << "ENDCLIP\r\nEND_ANIMATION\r\n";
}

// Plans square plans with ids 1..Plans (with Duplicate the last one has id 1 again) and
// one building whose two floors share plan 1.
inline void WriteManyFloorPlans(const std::string& Path, int Plans, bool Duplicate)
{
    std::ofstream out(Path, std::ios::binary);
    out << kHead << "BEGIN_FLOOR_PLANS\r\nPLANS " << Plans << "\r\n";
    for (int p = 1; p <= Plans; ++p)
        out << "BEGIN_PLAN\r\nID " << (Duplicate && p == Plans ? 1 : p) << "\r\nNAME Plan " << p
            << "\r\nREV 3\r\nPOINTS 5\r\nPOINT 0 0\r\nPOINT 4 0\r\nPOINT 4 3\r\nPOINT 0 3\r\n"
               "POINT 0 0\r\nSETTINGS 3 0.2 0.2 1 1 0.5\r\nEND_PLAN\r\n";
    out << "BUILDINGS 1\r\nBEGIN_BUILDING\r\nID 1\r\nNAME B\r\nFLOORS 2\r\n";
    for (int f = 1; f <= 2; ++f)
        out << "BEGIN_FLOOR\r\nID " << f << "\r\nNAME F" << f
            << "\r\nPLAN 1\r\nOVERRIDE 0\r\nEND_FLOOR\r\n";
    out << "END_BUILDING\r\nBINDINGS 0\r\nEND_FLOOR_PLANS\r\nNODES 0\r\n";
}

// The largest id of every kind: a group node, an object's modifier, a plan, a building
// and a floor, all 4294967294.
inline void WriteTopIds(const std::string& Path, const std::string& ModifierType)
{
    std::ofstream out(Path, std::ios::binary);
    out << kHead
        << "BEGIN_FLOOR_PLANS\r\nPLANS 1\r\nBEGIN_PLAN\r\nID 4294967294\r\nNAME P\r\nREV 1\r\n"
           "POINTS 0\r\nSETTINGS 3 0.2 0.2 1 1 0.5\r\nEND_PLAN\r\nBUILDINGS 1\r\n"
           "BEGIN_BUILDING\r\nID 4294967294\r\nNAME B\r\nFLOORS 1\r\nBEGIN_FLOOR\r\n"
           "ID 4294967294\r\nNAME F\r\nPLAN 4294967294\r\nOVERRIDE 0\r\nEND_FLOOR\r\n"
           "END_BUILDING\r\nBINDINGS 0\r\nEND_FLOOR_PLANS\r\nNODES 2\r\n"
        << GroupBlock(4294967294u, "Top")
        << "BEGINNODE\r\nID 20\r\nTYPE object\r\nPARENT 0\r\nNAME C\r\nPOS 0 0 0\r\n"
           "ROT 0 0 0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\nPRIM 0\r\nCOLOR 1 1 1\r\nTEXID 0\r\n"
           "BLEND 0\r\nSEL 0\r\n0\r\nMODS 1\r\nBEGINMOD "
        << ModifierType << " 1\r\nID 4294967294\r\nENABLED 1\r\nENDMOD\r\nENDNODE\r\n";
}

// Scene files put together from blocks.
inline std::string SceneHead(const std::string& Textures, int Nodes)
{
    return "#Quillstone\r\nVERSION 8\r\nNOENV\r\n" + Textures + "NODES " + std::to_string(Nodes) +
           "\r\n";
}

// An object of primitive Prim (0 cube, 1 sphere, 4 torus, 5 plane) with no stored mesh and
// the given modifier blocks.
inline std::string ObjectBlock(uint64_t Id, int Prim, const std::string& Modifiers = {},
                               int ModifierCount = 0, uint64_t Parent = 0)
{
    std::string s = "BEGINNODE\r\nID " + std::to_string(Id) + "\r\nTYPE object\r\nPARENT " +
                    std::to_string(Parent) + "\r\nNAME O" + std::to_string(Id) +
                    "\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\nPRIM " +
                    std::to_string(Prim) +
                    "\r\nCOLOR 1 0 0\r\nTEXID 0\r\nBLEND 0\r\nSEL 0\r\n0\r\n";
    if (ModifierCount > 0)
        s += "MODS " + std::to_string(ModifierCount) + "\r\n" + Modifiers;
    return s + "ENDNODE\r\n";
}

// Params: "Key=value\r\n" lines.
inline std::string ModifierBlock(const std::string& Type, const std::string& Params)
{
    return "BEGINMOD " + Type + " 1\r\nID 0\r\nENABLED 1\r\n" + Params + "ENDMOD\r\n";
}

inline std::string TextureLines(const std::vector<std::string>& Names)
{
    std::string s = "TEX\r\n" + std::to_string(Names.size()) + "\r\n";
    for (size_t i = 0; i < Names.size(); ++i)
        s += std::to_string(i) + " " + Names[i] + "\r\n";
    return s;
}

// A torus sliced with the defaults, then subdivided Levels times (at 5, about 197,000
// vertices); Tail follows the node.
inline std::string SlicedTorus(int Levels, const std::string& Tail = {})
{
    const std::string mods =
        ModifierBlock("slice", "") +
        ModifierBlock("subdivide", "Levels=" + std::to_string(Levels) + "\r\n");
    return SceneHead("NOTEX\r\n", 1) + ObjectBlock(10, 4, mods, 2) + Tail;
}

// A plane arrayed into a welded strip of 1000, the strip arrayed Copies times end to end
// and welded again: one boundary loop of about 2000 x Copies edges, then capped.
inline std::string CappedLongStrip(int Copies)
{
    const std::string mods =
        ModifierBlock("array_2d", "CountX=1000\r\nCountY=1\r\nOffsetX=0.5\r\n") +
        ModifierBlock("vertex_weld", "") +
        ModifierBlock("array_2d",
                      "CountX=" + std::to_string(Copies) + "\r\nCountY=1\r\nOffsetX=500\r\n") +
        ModifierBlock("vertex_weld", "") + ModifierBlock("cap_holes", "");
    return SceneHead("NOTEX\r\n", 1) + ObjectBlock(10, 5, mods, 5);
}

// A sphere subdivided Levels times and welded with a threshold that reaches every vertex.
inline std::string WeldedSphere(int Levels, const std::string& Threshold)
{
    const std::string mods =
        ModifierBlock("subdivide", "Levels=" + std::to_string(Levels) + "\r\n") +
        ModifierBlock("vertex_weld", "Threshold=" + Threshold + "\r\n");
    return SceneHead("NOTEX\r\n", 1) + ObjectBlock(10, 1, mods, 2);
}

// A chain of Depth nodes, each the only child of the one before: groups, or plane objects
// (a small mesh, so the depth and not the drawing is what costs). Ids 1..Depth, node i
// the parent of node i + 1; the deepest node is selected.
inline void WriteDeepChain(const std::string& Path, int Depth, bool Objects)
{
    std::ofstream out(Path, std::ios::binary);
    out << kHead << "NODES " << Depth << "\r\n";
    for (int i = 1; i <= Depth; ++i) {
        out << "BEGINNODE\r\nID " << i << "\r\nTYPE " << (Objects ? "object" : "group")
            << "\r\nPARENT " << i - 1 << "\r\nNAME N" << i
            << "\r\nPOS 0.01 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\n";
        if (Objects)
            out << "PRIM 5\r\nCOLOR 1 1 1\r\nTEXID 0\r\nBLEND 0\r\nSEL " << (i == Depth ? 1 : 0)
                << "\r\n0\r\n";
        out << "ENDNODE\r\n";
    }
}

// ---- Stacks that open whole within the scene's room, and composites nested deep ----

// Spheres each subdivided Levels times, then shelled with Thickness. At 1 sphere of level
// 5, about 786,000 vertices and 836,000 faces: inside one object's limits.
inline std::string ShelledSpheres(int Spheres, int Levels, const std::string& Thickness)
{
    const std::string mods =
        ModifierBlock("subdivide", "Levels=" + std::to_string(Levels) + "\r\n") +
        ModifierBlock("shell", "Thickness=" + Thickness + "\r\n");
    std::string body;
    for (int i = 0; i < Spheres; ++i)
        body += ObjectBlock(10 + static_cast<uint64_t>(i), 1, mods, 2);
    return SceneHead("NOTEX\r\n", Spheres) + body;
}

// A terrain object whose stored mesh is a Side x Side grid of quads (a little hill),
// the layout the terrain builder makes; Side 0 stores no mesh (the default terrain).
inline std::string TerrainBlock(uint64_t Id, int Side)
{
    std::string s = "BEGINNODE\r\nID " + std::to_string(Id) +
                    "\r\nTYPE object\r\nPARENT 0\r\nNAME O" + std::to_string(Id) +
                    "\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\nPRIM 7"
                    "\r\nCOLOR 0 1 0\r\nTEXID 0\r\nBLEND 0\r\nSEL 0\r\n";
    if (Side < 2)
        return s + "0\r\nENDNODE\r\n";
    s += std::to_string(Side * Side) + "\r\n";
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            const double u = double(x) / (Side - 1), v = double(y) / (Side - 1);
            const double h = 0.3 * u * (1 - u) * v * (1 - v);
            s += std::to_string(-2 + 4 * u) + " " + std::to_string(h) + " " +
                 std::to_string(-2 + 4 * v) + " 0 1 0 0 1 0 " + std::to_string(u) + " " +
                 std::to_string(v) + "\r\n";
        }
    s += std::to_string((Side - 1) * (Side - 1)) + "\r\n";
    for (int y = 0; y + 1 < Side; ++y)
        for (int x = 0; x + 1 < Side; ++x) {
            const int a = y * Side + x;
            s += "4 " + std::to_string(a) + " " + std::to_string(a + Side) + " " +
                 std::to_string(a + Side + 1) + " " + std::to_string(a + 1) +
                 " 0 0 0 0 0 0 0 0 0\r\n";
        }
    return s + "ENDNODE\r\n";
}

// An ordinary scene: two terrains of TerrainSide x TerrainSide, a torus and Spheres
// spheres each subdivided Levels times.
inline std::string OrdinaryScene(int TerrainSide, int Spheres, int Levels)
{
    const std::string sub = ModifierBlock("subdivide", "Levels=" + std::to_string(Levels) + "\r\n");
    std::string body =
        TerrainBlock(10, TerrainSide) + TerrainBlock(11, TerrainSide) + ObjectBlock(12, 4);
    for (int i = 0; i < Spheres; ++i)
        body += ObjectBlock(20 + static_cast<uint64_t>(i), 1, sub, 1);
    return SceneHead("NOTEX\r\n", 3 + Spheres) + body;
}

// Depth cubes, each with a Stretch and each the child of the one before (ids 1..Depth):
// every cube but the last owns the composite of all those below it.
inline std::string NestedStretchedCubes(int Depth)
{
    const std::string stretch = ModifierBlock("stretch", "");
    std::string body;
    for (int i = 1; i <= Depth; ++i)
        body += ObjectBlock(static_cast<uint64_t>(i), 0, stretch, 1, static_cast<uint64_t>(i - 1));
    return SceneHead("NOTEX\r\n", Depth) + body;
}

// A stored quad arrayed CountX x CountY times 1E-5 apart and welded with Threshold 1: each
// corner's copies make one crowded patch, and the corners stand in pairs 1.0000001 and
// 1.0000005 apart (the second pair across a grid line of the weld), so each pair of patches
// is in reach of the other while no copy of one is within the threshold of a copy of the
// other. At 1000 x 50, 615 bytes and 200,000 vertices.
inline std::string CrowdedWeldQuad(int CountX, int CountY)
{
    const std::string mods = ModifierBlock("array_2d", "CountX=" + std::to_string(CountX) +
                                                           "\r\nCountY=" + std::to_string(CountY) +
                                                           "\r\nOffsetX=1E-5\r\nOffsetY=1E-5\r\n") +
                             ModifierBlock("vertex_weld", "Threshold=1\r\n");
    const std::string mesh = "4\r\n0 0 0 0 0 1 1 1 1 0 0\r\n0 1.0000001 0 0 0 1 1 1 1 0 1\r\n"
                             "1 8.6 0 0 0 1 1 1 1 1 1\r\n1 7.6 0 0 0 1 1 1 1 1 0\r\n"
                             "1\r\n4 0 1 2 3 0 0 0 0 1 1 1 1 0\r\n";
    std::string object = ObjectBlock(10, 5);
    object.replace(object.rfind("0\r\nENDNODE"), 3, mesh + "MODS 2\r\n" + mods);
    return SceneHead("NOTEX\r\n", 1) + object;
}

}  // namespace HostileFiles
