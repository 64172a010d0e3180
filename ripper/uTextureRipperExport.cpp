#include "ripper/uTextureRipperExport.h"

#include "base/uErrors.h"
#include "base/uTextFile.h"
#include "image/uImageCodecs.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool IsTrimmed(unsigned char c)
{
    return c <= 32;
}

std::string Trim(const std::string& Text)
{
    std::size_t b = 0, e = Text.size();
    while (b < e && IsTrimmed(static_cast<unsigned char>(Text[b])))
        ++b;
    while (e > b && IsTrimmed(static_cast<unsigned char>(Text[e - 1])))
        --e;
    return Text.substr(b, e - b);
}

bool EndsWithPngExtension(const std::string& Text)
{
    if (Text.size() < 4)
        return false;
    std::string tail = Text.substr(Text.size() - 4);
    for (char& c : tail)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return tail == ".png";
}

bool IsSeparatorChar(unsigned char c)
{
    if (c < 32)
        return true;
    switch (c) {
    case ' ':
    case '_':
    case '"':
    case '*':
    case '/':
    case ':':
    case '<':
    case '>':
    case '?':
    case '\\':
    case '|':
        return true;
    default:
        return false;
    }
}

bool FileExists(const fs::path& Path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(Path, ec));
}

// A rename that fails instead of replacing an existing target.
bool MoveWithoutReplacing(const std::string& From, const std::string& To)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // File systems without the flag: a hard link fails on an existing name.
    if (::link(From.c_str(), To.c_str()) != 0)
        return false;
    ::unlink(From.c_str());
    return true;
}

}  // namespace

void SanitizeTextureName(const std::string& Text, std::string& Name)
{
    std::string s = Trim(Text);
    if (EndsWithPngExtension(s))
        s = Trim(s.substr(0, s.size() - 4));
    std::string out;
    bool inRun = false;
    for (const char ch : s) {
        if (IsSeparatorChar(static_cast<unsigned char>(ch))) {
            if (!inRun)
                out += '_';
            inRun = true;
        } else {
            out += ch;
            inRun = false;
        }
    }
    std::size_t b = 0, e = out.size();
    while (b < e && out[b] == '_')
        ++b;
    while (e > b && out[e - 1] == '_')
        --e;
    Name = out.substr(b, e - b);
}

void ProjectTexturesFolder(const std::string& ProjectFile, std::string& Folder)
{
    Folder.clear();
    if (Trim(ProjectFile).empty())
        return;
    std::error_code ec;
    fs::path full = fs::absolute(fs::path(ProjectFile), ec);
    if (ec)
        full = fs::path(ProjectFile);
    Folder = (full.lexically_normal().parent_path() / "textures").string();
}

std::string TextureTargetText(const std::string& ProjectFile, const std::string& TextureName)
{
    std::string folder, name;
    ProjectTexturesFolder(ProjectFile, folder);
    if (folder.empty())
        return "No saved project. Save the project before importing.";
    SanitizeTextureName(TextureName, name);
    if (name.empty())
        return "textures/<texture-name>.png";
    return "textures/" + name + ".png";
}

std::string UniqueTexturePath(const std::string& Folder, const std::string& Name)
{
    const fs::path folder(Folder);
    fs::path candidate = folder / (Name + ".png");
    for (int counter = 1; FileExists(candidate); ++counter) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%03d", counter);
        candidate = folder / (Name + "_" + digits + ".png");
    }
    return candidate.string();
}

TTextureFileResult WriteProjectTexture(const TRgbaImage& Image, const std::string& ProjectFile,
                                       const std::string& TextureName)
{
    TTextureFileResult r;
    std::string folder, name;
    ProjectTexturesFolder(ProjectFile, folder);
    if (folder.empty()) {
        r.Message = "Save the project before importing a texture.";
        return r;
    }
    SanitizeTextureName(TextureName, name);
    if (name.empty()) {
        r.Message = "Enter a valid texture name.";
        return r;
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
        r.Message = "The project texture directory could not be created.";
        return r;
    }
    r.FilePath = UniqueTexturePath(folder, name);
    // A stale temporary file of a crashed save goes (a link there goes itself, its target
    // stays); the new one is created exclusively and written through its descriptor
    // only, so a link put at its name meanwhile is never written through.
    const std::string tempName = r.FilePath + ".tmp";
    fs::remove(tempName, ec);
    std::optional<TNewFile> temp;
    try {
        temp.emplace(tempName, 0666);
        std::string message;
        if (!WritePngToDescriptor(Image, temp->Descriptor(), message))
            throw EGeneralError(message);
        temp->Finish(tempName);
    } catch (const std::exception& e) {
        r.Message = std::string("The PNG could not be saved: ") + e.what();
        return r;
    }
    if (!temp->HasItsName() || !MoveWithoutReplacing(tempName, r.FilePath)) {
        r.Message = "The generated PNG could not be moved into the project texture directory.";
        return r;
    }
    temp->Keep();
    const fs::path projectFolder = fs::path(folder).parent_path();
    r.RelativePath = fs::path(r.FilePath).lexically_relative(projectFolder).string();
    r.Success = true;
    return r;
}
