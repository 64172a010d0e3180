#pragma once
// The project's texture registry: the image files the scene uses, each loaded once into a
// texture object. A face or object refers to a texture by its id, the registry index plus
// one (0 = no texture). Deleting an entry shifts the ids of the later ones down by one.
//
// The registry itself does no GL work: texture objects are made, bound and freed through
// a TTextureGpu, which the GL layer implements (uTextureUpload) and tests can replace.
#include <cstdint>
#include <memory>
#include <string>
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

class TTextureManager {
public:
    explicit TTextureManager(TTextureGpu* Gpu = DefaultTextureGpu);
    virtual ~TTextureManager();
    TTextureManager(const TTextureManager&) = delete;
    TTextureManager& operator=(const TTextureManager&) = delete;

    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    // Raises EArgumentOutOfRangeException outside the list.
    const TTextureRec& GetTexture(int32_t Index) const;

    // A new entry for the file, or none with Message set. The registry is not changed.
    bool LoadTexture(const std::string& FileName, std::unique_ptr<TTextureRec>& Rec,
                     std::string& Message);
    // Appends the file; its index, or -1 when it could not be loaded.
    int32_t ImportFile(const std::string& FileName);
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
    TTextureGpu* Gpu;
    std::vector<std::unique_ptr<TTextureRec>> Items;
};

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
