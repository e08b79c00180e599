#include "app/ProgressDlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

const QSize ClientSize(553, 119);

}

TdlgProgress::TdlgProgress(QWidget *Owner) : QDialog(Owner, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setFixedSize(ClientSize);
    setWindowModality(Qt::WindowModal);
    Label1 = new QLabel(this);
    Label1->setGeometry(16, 16, 513, 17);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setGeometry(16, 56, 521, 20);
    ProgressBar1->setRange(0, 100);
    btnCancel = new QPushButton(QStringLiteral("sbtnCancel"), this);
    btnCancel->setGeometry(464, 88, 75, 25);
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    if (Owner) {
        setFont(Owner->font());
        move(Owner->geometry().center() - rect().center());
    }
}

void TdlgProgress::btnCancelClick()
{
    Cancelled = true;
}

void TdlgProgress::reject()
{
    btnCancelClick();
}
