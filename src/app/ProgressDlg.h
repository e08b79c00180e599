#pragma once

// The progress dialog of long exchanges with the heater: modal to the main window, whose controls
// would start another exchange while this one holds the heater, and Cancel only marks the
// exchange as cancelled for its next pass. It lives exactly as long as its exchange: Escape and
// the title bar's close act as Cancel and leave it on screen until the exchange has ended.

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class TdlgProgress : public QDialog {
public:
    explicit TdlgProgress(QWidget *Owner);

    QLabel *Label1 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *btnCancel = nullptr;
    bool Cancelled = false;

    void btnCancelClick();
    void reject() override;
};
