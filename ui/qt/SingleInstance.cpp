#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vantrell::qt {

QString CSingleInstanceGuard::LockPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime + QStringLiteral("/vantrell.lock");
    return QDir::tempPath() + QStringLiteral("/vantrell-%1.lock").arg(::getuid());
}

CSingleInstanceGuard::CSingleInstanceGuard()
{
    const QByteArray path = QFile::encodeName(LockPath());
    // Never closed: the lock lives exactly as long as the process.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    m_anotherCopy = result != 0 && errno == EWOULDBLOCK;
    if (result != 0)
        ::close(fd);
}

} // namespace vantrell::qt
