#include "hid/DeviceAccess.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

bool DeviceAccessDenied(const QString &Path)
{
#ifdef Q_OS_UNIX
    // Opening is the test that counts: it honours capabilities and access lists as the HID
    // library's own open does. Non-blocking, so a node in use elsewhere cannot hold it up.
    const int fd = ::open(QFile::encodeName(Path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return errno == EACCES || errno == EPERM;
#else
    Q_UNUSED(Path);
    return false;
#endif
}
