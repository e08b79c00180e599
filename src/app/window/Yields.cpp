// The yields window, opened from the history panel or, without a heater, from the not-connected
// panel: it reads the archive through a connection of its own.

#include "app/FormMain.h"
#include "app/YieldsWindow.h"

void TFormMain::btnYieldsClick()
{
    if (FOptions.ArchiveLocation.isEmpty()) {
        FOptions.Dialogs->Information(Translate(QStringLiteral("slblNoArchive")));
        return;
    }
    // The live readings kept so far belong in the yields of today.
    FlushLiveSamples();
    if (!FYields) {
        FYields = new TYieldsWindow(this, OpenArchive(FOptions.ArchiveLocation), {FOptions.Dialogs, FOptions.Now, FOptions.Locale},
                                    FLanguage);
        FYields->setAttribute(Qt::WA_DeleteOnClose);
    }
    if (!FYields->ShowHeater(FArchiveKey)) {
        FYields->deleteLater();
        FOptions.Dialogs->Information(Translate(QStringLiteral("sMsgNoYields")));
        return;
    }
    FYields->show();
    FYields->raise();
    FYields->activateWindow();
}
