#pragma once

// Text in the 8-bit code page of the data log: Windows-1252, which holds every character the
// program writes there ("°" is the byte 0xB0).

#include <QByteArray>
#include <QString>

// Characters outside the code page become '?'.
QByteArray ToWindows1252(const QString &Text);
