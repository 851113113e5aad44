#pragma once

#include <QString>

namespace dravelo {

// The free space that writing must always leave on a file system: the larger
// of a share of its size and a fixed amount, so that a file that keeps on
// growing never fills the disk.
class DiskReserve {
public:
    DiskReserve(double share, qint64 minimum);

    // Whether `bytes` more can be written to the file system that holds the
    // open file `fd` and still leave the reserve free. When not, `error`
    // says why (also when the file system cannot be asked).
    bool allows(int fd, qint64 bytes, QString& error) const;

    // The same rule for a file system of `size` bytes with `available`
    // bytes free.
    bool allows(qint64 size, qint64 available, qint64 bytes) const;

    // The bytes kept free on a file system of `size` bytes.
    qint64 reserveFor(qint64 size) const;

private:
    double share_;
    qint64 minimum_;
};

} // namespace dravelo
