#include "app/Anchors.h"

#include <QEvent>
#include <QWidget>

namespace {

// The start and extent of one axis after the panel grew by Delta.
void AnchoredSpan(int Start, int Extent, int Delta, bool Near, bool Far, int &NewStart, int &NewExtent)
{
    NewStart = Start;
    NewExtent = Extent;
    if (Near && Far)
        NewExtent = Extent + Delta;
    else if (Far)
        NewStart = Start + Delta;
    else if (!Near)
        NewStart = Start + Delta / 2;
}

}

TAnchorLayout::TAnchorLayout(QWidget *Panel, QSize DesignedSize)
    : QObject(Panel), FPanel(Panel), FDesignedSize(DesignedSize)
{
    Panel->installEventFilter(this);
}

void TAnchorLayout::Anchor(QWidget *Child, int Anchors)
{
    FItems.push_back({Child, Child->geometry(), Anchors});
    Place(FItems.back());
}

bool TAnchorLayout::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Watched == FPanel && Event->type() == QEvent::Resize) {
        for (const TAnchored &item : FItems)
            Place(item);
    }
    return false;
}

void TAnchorLayout::Place(const TAnchored &Item) const
{
    int x, width, y, height;
    AnchoredSpan(Item.Designed.x(), Item.Designed.width(), FPanel->width() - FDesignedSize.width(),
                 Item.Anchors & akLeft, Item.Anchors & akRight, x, width);
    AnchoredSpan(Item.Designed.y(), Item.Designed.height(), FPanel->height() - FDesignedSize.height(),
                 Item.Anchors & akTop, Item.Anchors & akBottom, y, height);
    Item.Child->setGeometry(x, y, width, height);
}
