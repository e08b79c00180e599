#pragma once

// Why a write to a file fell short. A write that the system cut short (a full disk, a size
// limit) often leaves no error text behind: then the bytes that went are named.

#include <QFileDevice>
#include <QString>

QString ShortWriteReason(const QFileDevice &File, qint64 Written, qint64 Size);
