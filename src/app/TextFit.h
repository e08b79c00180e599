#pragma once

// Texts that were sized for a narrow face: where the system draws them wider, the control's
// font shrinks until its longest text fits, and the control keeps its place and size.

class QPushButton;
class QString;

// The width a button's style leaves for its text.
int ButtonTextRoom(const QPushButton &Button);

// Shrinks the button's font, a pixel at a time and no smaller than 7 pixels, until Longest fits.
void FitButtonText(QPushButton &Button, const QString &Longest);
