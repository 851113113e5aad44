#include "platform/files/DiskReserve.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/statvfs.h>

namespace dravelo {
namespace {

constexpr double mebibyte = 1024.0 * 1024.0;

} // namespace

DiskReserve::DiskReserve(double share, qint64 minimum)
    : share_(share)
    , minimum_(minimum) {}

qint64 DiskReserve::reserveFor(qint64 size) const {
    return std::max(static_cast<qint64>(static_cast<double>(size) * share_), minimum_);
}

bool DiskReserve::allows(qint64 size, qint64 available, qint64 bytes) const {
    return available - bytes >= reserveFor(size);
}

bool DiskReserve::allows(int fd, qint64 bytes, QString& error) const {
    struct statvfs space = {};
    if (::fstatvfs(fd, &space) != 0) {
        error = QStringLiteral("cannot tell the free space of the file system: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const auto size = static_cast<qint64>(space.f_blocks * space.f_frsize);
    const auto available = static_cast<qint64>(space.f_bavail * space.f_frsize);
    if (allows(size, available, bytes)) {
        return true;
    }
    error = QStringLiteral("writing on would leave less than %1 MiB free on the file system "
                           "(%2 MiB free now)")
                .arg(static_cast<double>(reserveFor(size)) / mebibyte, 0, 'f', 0)
                .arg(static_cast<double>(available) / mebibyte, 0, 'f', 0);
    return false;
}

} // namespace dravelo
