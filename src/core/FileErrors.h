#pragma once

// Writing whole files, and why a write to a file fell short. A write that the system cut short (a full disk, a size
// limit) often leaves no error text behind: then the bytes that went are named.

#include <QByteArray>
#include <QFileDevice>
#include <QString>

QString ShortWriteReason(const QFileDevice &File, qint64 Written, qint64 Size);

// A write past the process's file-size limit (ulimit -f, a service's LimitFSIZE=) then falls
// short or fails, as on a full disk, where the system would otherwise end the process without a
// word. Called once at start-up, where the system has that signal.
void IgnoreFileSizeSignal();

// Writes the file beside the target and lets it take the target's place: a write that fails
// half-way leaves the file that was there whole, and no truncated file. Raises std::runtime_error
// "Cannot write "<name>": <reason>".
void SaveWholeFile(const QString &FileName, const QByteArray &Contents);
