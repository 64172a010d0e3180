#include "scene/uTextures.h"

#include <algorithm>
#include <bit>
#include <filesystem>
#include <system_error>

#include "base/uErrors.h"
#include "image/uImageCodecs.h"

TTextureGpu* DefaultTextureGpu = nullptr;
TTextureManager* CurrentTextureManager = nullptr;

namespace {
constexpr const char* kFileMissing = "Texture file does not exist.";
constexpr const char* kNotDecoded = "The texture image could not be decoded.";
constexpr const char* kNoTextureObject = "OpenGL did not create a texture object.";
constexpr const char* kNotImported = "The texture could not be imported.";

// TRgbaPixel keeps red in the low byte; uploads read the pixels as bytes R, G, B, A.
static_assert(std::endian::native == std::endian::little);
}  // namespace

std::string ExpandTexturePath(const std::string& FileName)
{
    std::string path = FileName;
    std::replace(path.begin(), path.end(), '\\', '/');
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    if (ec)
        full = path;
    return full.lexically_normal().string();
}

std::string TexturePathProblem(const std::string& Path)
{
    if (Path.find_first_of("\r\n") == std::string::npos)
        return {};
    std::string shown;
    for (const char c : Path)
        shown += c == '\r' ? "<CR>" : c == '\n' ? "<LF>" : std::string(1, c);
    return "Cannot import \"" + shown +
           "\": a texture's path is kept on one line of the scene file, so it cannot hold a "
           "line break.";
}

std::unique_ptr<TRgbaImage> LoadImageRGBA(const std::string& FileName, int32_t& Width,
                                          int32_t& Height)
{
    Width = 0;
    Height = 0;
    const TImageFileKind kind = ImageFileKindFromName(FileName);
    if (kind == TImageFileKind::Unknown)
        return nullptr;
    TImageSizeLimits limits;
    limits.MaxSide = INT32_MAX;  // only the byte count limits a texture
    limits.MaxBytes = kMaxTextureBytes;
    TImageDecodeResult decoded = DecodeImageFile(FileName, kind, limits);
    if (decoded.Status != TImageDecodeStatus::Ok || decoded.Image == nullptr)
        return nullptr;
    Width = decoded.Image->Width();
    Height = decoded.Image->Height();
    return std::move(decoded.Image);
}

TTextureManager::TTextureManager(TTextureGpu* Gpu) : Gpu(Gpu) {}

TTextureManager::~TTextureManager()
{
    Clear();
}

const TTextureRec& TTextureManager::GetTexture(int32_t Index) const
{
    if (Index < 0 || Index >= Count())
        throw EArgumentOutOfRangeException("List index out of bounds (" + std::to_string(Index) +
                                           ")");
    return *Items[Index];
}

bool TTextureManager::LoadTexture(const std::string& FileName, std::unique_ptr<TTextureRec>& Rec,
                                  std::string& Message)
{
    Message.clear();
    Rec.reset();
    std::error_code ec;
    const std::string full = ExpandTexturePath(FileName);
    if (FileName.empty() || !std::filesystem::is_regular_file(full, ec)) {
        Message = kFileMissing;
        return false;
    }
    Message = TexturePathProblem(full);
    if (!Message.empty())
        return false;
    auto rec = std::make_unique<TTextureRec>();
    rec->Name = std::filesystem::path(full).filename().string();
    rec->Path = full;

    int32_t width = 0, height = 0;
    std::unique_ptr<TRgbaImage> pixels = LoadImageRGBA(full, width, height);
    if (pixels == nullptr || width <= 0 || height <= 0) {
        Message = kNotDecoded;
        return false;
    }
    if (Gpu == nullptr) {
        Message = kNoTextureObject;
        return false;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(pixels->Pixels().data());
    rec->GLName = Gpu->CreateTexture(bytes, width, height, Message);
    if (rec->GLName == 0) {
        if (Message.empty())
            Message = kNotImported;
        return false;
    }
    rec->Width = width;
    rec->Height = height;
    Rec = std::move(rec);
    return true;
}

int32_t TTextureManager::ImportFile(const std::string& FileName)
{
    std::unique_ptr<TTextureRec> rec;
    std::string message;
    if (!LoadTexture(FileName, rec, message))
        return -1;
    Items.push_back(std::move(rec));
    return Count() - 1;
}

int32_t TTextureManager::ImportForLoad(const std::string& FileName)
{
    const std::string full = ExpandTexturePath(FileName);
    std::error_code ec;
    // One file under several names (a relative and an absolute path, a link) is still
    // one file.
    std::string identity = std::filesystem::canonical(full, ec).string();
    if (ec)
        identity = full;
    if (auto it = LoadImported.find(identity); it != LoadImported.end()) {
        auto rec = std::make_unique<TTextureRec>(*Items[static_cast<size_t>(it->second)]);
        rec->Path = full;
        rec->Name = std::filesystem::path(full).filename().string();
        if (rec->GLName != 0)
            ++SharedNames[rec->GLName];
        Items.push_back(std::move(rec));
        return Count() - 1;
    }
    LoadImported.emplace(identity, Count());

    const TImageFileKind kind = ImageFileKindFromName(full);
    if (kind == TImageFileKind::Unknown || !std::filesystem::is_regular_file(full, ec) ||
        Gpu == nullptr)
        return AddPlaceholder(full);
    const auto left = [](uint64_t Max, uint64_t Spent) { return Max > Spent ? Max - Spent : 0; };
    TImageSizeLimits limits;
    limits.MaxSide = INT32_MAX;
    const uint64_t pixelsLeft = left(LoadBudget.MaxPixels, LoadPixels);
    limits.MaxBytes = std::min<uint64_t>(kMaxTextureBytes, pixelsLeft * 4);
    limits.MaxInflatedBytes = left(LoadBudget.MaxInflatedBytes, LoadInflated);
    limits.MaxScanPixels = left(LoadBudget.MaxScanPixels, LoadScanPixels);
    TImageDecodeResult decoded = DecodeImageFile(full, kind, limits);
    // What the decode really did, also when it failed part-way; a refusal did nothing.
    LoadInflated += decoded.InflatedBytes;
    LoadScanPixels += decoded.ScanPixels;
    LoadPixels += decoded.DecodedPixels;
    const bool overBudget = decoded.OverBudget || (decoded.Status == TImageDecodeStatus::TooLarge &&
                                                   limits.MaxBytes < kMaxTextureBytes);
    if (decoded.Status != TImageDecodeStatus::Ok || !decoded.Image) {
        if (overBudget)
            LoadSkipped.push_back(std::filesystem::path(full).filename().string());
        return AddPlaceholder(full);
    }
    const int32_t width = decoded.Image->Width(), height = decoded.Image->Height();
    std::string message;
    const auto* bytes = reinterpret_cast<const uint8_t*>(decoded.Image->Pixels().data());
    const uint32_t name = Gpu->CreateTexture(bytes, width, height, message);
    decoded.Image.reset();
    if (name == 0)
        return AddPlaceholder(full);
    auto rec = std::make_unique<TTextureRec>();
    rec->Name = std::filesystem::path(full).filename().string();
    rec->Path = full;
    rec->GLName = name;
    rec->Width = width;
    rec->Height = height;
    Items.push_back(std::move(rec));
    return Count() - 1;
}

std::string TTextureManager::LoadBudgetNote() const
{
    if (LoadSkipped.empty())
        return {};
    std::string note = "Some textures were not loaded: together the scene's textures would "
                       "take more than " +
                       std::to_string(LoadBudget.MaxPixels * 4 / 1048576) +
                       " MB of pixels or too long to decode. They keep their places and "
                       "paths:";
    constexpr size_t kListed = 10;
    for (size_t i = 0; i < LoadSkipped.size() && i < kListed; ++i)
        note += (i == 0 ? " " : ", ") + LoadSkipped[i].substr(0, 80);
    if (LoadSkipped.size() > kListed)
        note += " and " + std::to_string(LoadSkipped.size() - kListed) + " more";
    return note + ".";
}

void TTextureManager::Release(uint32_t GLName)
{
    if (GLName == 0 || Gpu == nullptr)
        return;
    if (auto it = SharedNames.find(GLName); it != SharedNames.end()) {
        if (--it->second == 0)
            SharedNames.erase(it);
        return;
    }
    Gpu->DeleteTexture(GLName);
}

int32_t TTextureManager::AddPlaceholder(const std::string& Path)
{
    auto rec = std::make_unique<TTextureRec>();
    rec->Path = ExpandTexturePath(Path);
    rec->Name = std::filesystem::path(rec->Path).filename().string();
    Items.push_back(std::move(rec));
    return Count() - 1;
}

void TTextureManager::ImportOrReplace(const std::string& FileName, TTextureImportResult& Result)
{
    Result = TTextureImportResult{};
    int32_t index = IndexOfPath(FileName);
    std::unique_ptr<TTextureRec> rec;
    if (!LoadTexture(FileName, rec, Result.Message))
        return;
    if (index < 0) {
        Items.push_back(std::move(rec));
        index = Count() - 1;
    } else {
        std::unique_ptr<TTextureRec> old = std::move(Items[index]);
        Items[index] = std::move(rec);
        Release(old->GLName);
        Result.Replaced = true;
    }
    Result.Index = index;
    Result.TextureId = index + 1;
    Result.Success = true;
}

int32_t TTextureManager::IndexOfName(const std::string& Name) const
{
    for (int32_t i = 0; i < Count(); ++i)
        if (Items[i]->Name == Name)
            return i;
    return -1;
}

int32_t TTextureManager::IndexOfPath(const std::string& Path) const
{
    if (Path.empty())
        return -1;
    const std::string wanted = ExpandTexturePath(Path);
    for (int32_t i = 0; i < Count(); ++i)
        if (ExpandTexturePath(Items[i]->Path) == wanted)
            return i;
    return -1;
}

void TTextureManager::Delete(int32_t Index)
{
    if (Index < 0 || Index >= Count())
        return;
    Release(Items[Index]->GLName);
    Items.erase(Items.begin() + Index);
    LoadImported.clear();  // indices have moved
}

void TTextureManager::Clear()
{
    for (int32_t i = Count() - 1; i >= 0; --i)
        Delete(i);
    // A new load starts with the whole budget.
    LoadPixels = 0;
    LoadInflated = 0;
    LoadScanPixels = 0;
    LoadImported.clear();
    LoadSkipped.clear();
}

void TTextureManager::SwapContents(TTextureManager* Other)
{
    if (Other == nullptr || Other == this)
        return;
    Items.swap(Other->Items);
    SharedNames.swap(Other->SharedNames);
    std::swap(Gpu, Other->Gpu);  // entries stay with the backend that made them
}

void TTextureManager::Bind(int32_t Index)
{
    if (Gpu == nullptr)
        return;
    if (Index >= 0 && Index < Count() && Items[Index]->GLName != 0)
        Gpu->BindTexture(Items[Index]->GLName);
    else
        Gpu->BindTexture(0);
}

void TTextureManager::Unbind()
{
    if (Gpu != nullptr)
        Gpu->BindTexture(0);
}
