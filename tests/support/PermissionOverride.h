#pragma once

// Tests run as root; this takes root's way past file permissions away for a while.

#include "heatersim.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Root passes every permission check: a file or folder is closed to the test only while
// its thread's effective capabilities lack the overrides. Restored when it goes.
class TWithoutPermissionOverride {
public:
    TWithoutPermissionOverride()
    {
        syscall(SYS_capget, &FHeader, FSaved);
        __user_cap_data_struct reduced[2] = {FSaved[0], FSaved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &FHeader, reduced);
    }
    ~TWithoutPermissionOverride() { syscall(SYS_capset, &FHeader, FSaved); }

private:
    __user_cap_header_struct FHeader{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct FSaved[2]{};
};

// Plugs a heater in at a device node "hidraw0" in Folder that nobody may open; returns its path.
inline QString PlugRefusedHeater(const QString &Folder)
{
    const QString node = QDir(Folder).filePath(QStringLiteral("hidraw0"));
    QFile file(node);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFile::Permissions{}))
        return {};
    heatersim_plug_heater(QFile::encodeName(node).constData(), L"V1.10");
    return node;
}
#endif
