#include "app/TextFit.h"

#include <QFontMetrics>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace {

constexpr int SmallestPixelSize = 7;

}

int ButtonTextRoom(const QPushButton &Button)
{
    QStyleOptionButton option;
    option.initFrom(&Button);
    option.text = Button.text();
    return Button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &Button).width();
}

void FitButtonText(QPushButton &Button, const QString &Longest)
{
    QFont font = Button.font();
    const int room = ButtonTextRoom(Button);
    while (font.pixelSize() > SmallestPixelSize && QFontMetrics(font).horizontalAdvance(Longest) > room)
        font.setPixelSize(font.pixelSize() - 1);
    if (font != Button.font())
        Button.setFont(font);
}
