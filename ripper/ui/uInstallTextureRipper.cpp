#include "ripper/ui/uInstallTextureRipper.h"

#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "editor/api/uEditorShell.h"
#include "ripper/ui/uTextureRipperForm.h"

namespace {

// What the main window does after the ripper imported a texture.
void RipperImported(TEditorContext& Context, const TTextureRipperSaveResult& Result)
{
    if (!Result.Success)
        return;
    Context.Document().MarkChanged();
    Context.RefreshTextureCombo();
    if (Result.ImportResult.Index >= 0)
        emit Context.Events().TextureImported(Result.ImportResult.Index);
    Context.SetStatusText("Imported: " + Result.RelativePath);
    Context.Repaint();
}

}  // namespace

void InstallTextureRipper(TEditorShell& Shell)
{
    TEditorContext& context = Shell.Context();
    Shell.InstallToolWindowItem(twiTextureRipper, [&context] {
        ShowTextureRipper(context,
                          [&context](TTextureRipperForm&, const TTextureRipperSaveResult& Result) {
                              RipperImported(context, Result);
                          });
    });
}
