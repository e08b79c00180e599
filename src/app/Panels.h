#pragma once

// A panel laid over the whole window, letting what lies beneath show through faintly.

#include <QWidget>

class TCoverPanel : public QWidget {
public:
    TCoverPanel(QWidget *Parent, int OpacityPercent);

protected:
    void paintEvent(QPaintEvent *Event) override;

private:
    int FOpacityPercent;
};
