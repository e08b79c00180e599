#pragma once

// Keeps children of a panel at their designed distances from the anchored edges when the panel
// is resized. An axis anchored on both sides stretches; anchored on neither, the child keeps
// its place relative to the panel's centre.

#include <QObject>
#include <QRect>
#include <QSize>

#include <vector>

class QWidget;

enum TAnchor { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

class TAnchorLayout : public QObject {
public:
    // DesignedSize is the panel's size that the children's designed geometry refers to.
    TAnchorLayout(QWidget *Panel, QSize DesignedSize);
    // Takes the child's current geometry as designed.
    void Anchor(QWidget *Child, int Anchors);

protected:
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    struct TAnchored {
        QWidget *Child;
        QRect Designed;
        int Anchors;
    };
    void Place(const TAnchored &Item) const;

    QWidget *FPanel;
    QSize FDesignedSize;
    std::vector<TAnchored> FItems;
};
