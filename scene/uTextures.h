#pragma once
// The project's texture registry: the image files the scene uses, each loaded once into a
// texture object. A face or object refers to a texture by its id, the registry index plus
// one (0 = no texture). Deleting an entry shifts the ids of the later ones down by one.
//
// The registry itself does no GL work: texture objects are made, bound and freed through
// a TTextureGpu, which the GL layer implements (uTextureUpload) and tests can replace.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TRgbaImage;

// The texture-object side of the registry. Every call needs the GL context that owns the
// textures to be current.
class TTextureGpu {
public:
    virtual ~TTextureGpu() = default;
    // A new texture object holding the RGBA8 pixels (row 0 first), linear filtering, no
    // mipmaps. 0 when it could not be made; Message then says why, or stays empty for the
    // registry's general message. Nothing is left behind on failure.
    virtual uint32_t CreateTexture(const uint8_t* Rgba, int32_t Width, int32_t Height,
                                   std::string& Message) = 0;
    virtual void DeleteTexture(uint32_t Name) = 0;
    // Binds the texture and enables texturing; 0 unbinds and disables it.
    virtual void BindTexture(uint32_t Name) = 0;
};

// The one the main window installs; registries made without an explicit one use it.
extern TTextureGpu* DefaultTextureGpu;

struct TTextureRec {
    std::string Name;  // the file name without its folder
    std::string Path;  // the full path
    uint32_t GLName = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

struct TTextureImportResult {
    bool Success = false;
    int32_t Index = -1;
    int32_t TextureId = 0;
    bool Replaced = false;
    std::string Message;
};

// Largest pixel block a texture may need: 256 MiB of RGBA.
constexpr uint64_t kMaxTextureBytes = 268435456;

// What the textures of one opened file may take together: 1 GiB of decoded pixels
// (sixteen 4096 x 4096 images), each image within what an import allows.
constexpr uint64_t kMaxLoadTextureBytes = uint64_t{4} * kMaxTextureBytes;

// What the textures of one opened file may cost together: decoded pixels (held by the
// texture objects afterwards), image data inflated, and progressive JPEG scans times
// pixels decoded (each scan is a pass over the image). The last two in proportion to the
// pixels: per 256 MiB of pixels, the data of a 16-bit RGBA image and sixteen scans.
struct TTextureLoadBudget {
    static constexpr uint64_t Images = kMaxLoadTextureBytes / kMaxTextureBytes;
    uint64_t MaxPixels = kMaxLoadTextureBytes / 4;
    uint64_t MaxInflatedBytes = Images * (2 * kMaxTextureBytes + kMaxTextureBytes / 8);
    uint64_t MaxScanPixels = uint64_t{16} * (kMaxLoadTextureBytes / 4);
};

class TTextureManager {
public:
    explicit TTextureManager(TTextureGpu* Gpu = DefaultTextureGpu);
    virtual ~TTextureManager();
    TTextureManager(const TTextureManager&) = delete;
    TTextureManager& operator=(const TTextureManager&) = delete;

    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    // Raises EArgumentOutOfRangeException outside the list.
    const TTextureRec& GetTexture(int32_t Index) const;

    // A new entry for the file, or none with Message set (TexturePathProblem's for a path
    // the scene file cannot store). The registry is not changed.
    bool LoadTexture(const std::string& FileName, std::unique_ptr<TTextureRec>& Rec,
                     std::string& Message);
    // Appends the file; its index, or -1 when it could not be loaded.
    int32_t ImportFile(const std::string& FileName);
    // Appends an entry for a file named by the scene file being read, within the budget
    // of the load (spent since the last Clear): a file met earlier in the load is shared,
    // not decoded again; one that cannot be imported, or would pass the budget, becomes a
    // placeholder. A decode charges the budget what it did, also when it failed part-way;
    // a refusal before decoding charges nothing. Always the new entry's index.
    int32_t ImportForLoad(const std::string& FileName);
    void SetLoadBudget(const TTextureLoadBudget& Budget) { LoadBudget = Budget; }
    const TTextureLoadBudget& GetLoadBudget() const { return LoadBudget; }
    // The files left out for the budget since the last Clear, as a note for the user;
    // empty when none.
    std::string LoadBudgetNote() const;
    // Replaces the entry with the same path in place (keeping its id), else appends.
    void ImportOrReplace(const std::string& FileName, TTextureImportResult& Result);

    // Case-sensitive; -1 when absent.
    int32_t IndexOfName(const std::string& Name) const;
    // Compares full paths ("\" read as "/"); -1 for an empty path or when absent.
    int32_t IndexOfPath(const std::string& Path) const;

    // Frees the entry and its texture object; later ids drop by one. Nothing when Index
    // is out of range.
    void Delete(int32_t Index);
    void Clear();
    // Exchanges the entries (and the backend that made them) with Other's; used to
    // commit a staging registry.
    void SwapContents(TTextureManager* Other);
    // An entry for a texture that could not be loaded: it keeps its place (and so the ids
    // of the textures after it) and its path, and binds as no texture.
    int32_t AddPlaceholder(const std::string& Path);
    TTextureGpu* GetGpu() const { return Gpu; }

    void Bind(int32_t Index);
    void Unbind();

private:
    void Release(uint32_t GLName);

    TTextureGpu* Gpu;
    std::vector<std::unique_ptr<TTextureRec>> Items;
    // Entries that share a texture object (one file named twice in a scene file): how
    // many hold each name beyond the first.
    std::map<uint32_t, int32_t> SharedNames;
    // The load in progress: what its textures have cost, the file identities met (to the
    // index of their first entry, loaded or a placeholder: a file that failed is not
    // decoded again), and the files left out.
    TTextureLoadBudget LoadBudget;
    uint64_t LoadPixels = 0;
    uint64_t LoadInflated = 0;
    uint64_t LoadScanPixels = 0;
    std::unordered_map<std::string, int32_t> LoadImported;
    std::vector<std::string> LoadSkipped;
};

// Why a texture file cannot be imported for its path alone, or empty: the scene file keeps
// each path on one line, so a path holding a line break (CR or LF) could not be read back
// as itself. The message names the path, each break shown as <CR> or <LF>.
std::string TexturePathProblem(const std::string& Path);

// The registry the scene file reader and writer use.
extern TTextureManager* CurrentTextureManager;

// The full path of a texture file: "\" taken as "/", made absolute against the current
// folder and normalised.
std::string ExpandTexturePath(const std::string& FileName);

// RGBA8 pixels of a PNG, JPEG or BMP file chosen by its extension, row 0 first, or none
// (Width and Height 0) for any other extension, a decoding error, or an image of more
// than 256 MiB of RGBA; the size is checked from the file's header before any pixel
// memory is taken.
std::unique_ptr<TRgbaImage> LoadImageRGBA(const std::string& FileName, int32_t& Width,
                                          int32_t& Height);
