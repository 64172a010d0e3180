#include "ripper/ui/uTextureRipperImport.h"

#include "ripper/uTextureRipperExport.h"

void SaveAndImport(const TRgbaImage& Image, const std::string& ProjectPath,
                   const std::string& TextureName, TTextureRipperSaveResult& Result,
                   TTextureManager* TextureManager)
{
    Result = TTextureRipperSaveResult();
    if (!TextureManager) {
        Result.Message = "The texture manager is not available.";
        return;
    }
    // The registry would refuse the file's path: nothing is written.
    std::string folder;
    ProjectTexturesFolder(ProjectPath, folder);
    Result.Message = TexturePathProblem(folder);
    if (!Result.Message.empty())
        return;
    const TTextureFileResult file = WriteProjectTexture(Image, ProjectPath, TextureName);
    Result.FilePath = file.FilePath;
    if (!file.Success) {
        Result.Message = file.Message;
        return;
    }
    Result.RelativePath = file.RelativePath;
    TextureManager->ImportOrReplace(file.FilePath, Result.ImportResult);
    if (Result.ImportResult.Success)
        Result.Success = true;
    else
        Result.Message = "The texture was saved to " + Result.RelativePath +
                         ", but it could not be imported: " + Result.ImportResult.Message;
}
