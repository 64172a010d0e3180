#pragma once
// Writers of crafted scene files, each repeating one entry or stretching one line, shared
// by the tests (small sizes) and bench_hostile_reader (the sizes a crafted file uses).
#include <cstdint>
#include <fstream>
#include <string>

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

}  // namespace HostileFiles
