#include "app/Panels.h"

#include <QPainter>

TCoverPanel::TCoverPanel(QWidget *Parent, int OpacityPercent)
    : QWidget(Parent), FOpacityPercent(OpacityPercent)
{
}

void TCoverPanel::paintEvent(QPaintEvent *)
{
    QColor background = palette().color(QPalette::Window);
    background.setAlpha(255 * FOpacityPercent / 100);
    QPainter(this).fillRect(rect(), background);
}
