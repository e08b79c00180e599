// Handing the heater over to its firmware update.

#include "app/FormMain.h"
#include "protocol/Commands.h"

#include <QCursor>
#include <QMenu>
#include <QTimer>

void TFormMain::lblFWVerClick()
{
    mnuFW->popup(QCursor::pos());
}

void TFormMain::mnuUpdateFWClick()
{
    StartFirmwareUpdate();
}

// The update itself runs outside the program, which closes to free the USB connection.
void TFormMain::StartFirmwareUpdate()
{
    if (!FOptions.Dialogs->Confirm(Translate(QStringLiteral("sMsgFlashFW"))))
        return;
    timRefreshCurrentData->stop();
    SetRequest(cmdFirmwareUpdate, 0);
    close();
}
