#include "platform/files/MountTable.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fstream>
#include <string>

namespace dravelo {

bool MountTable::hasFuseMountAt(const QString& mountPoint) {
    const QString wanted = resolvedPath(mountPoint);
    // Files under /proc report a size of 0, so the table is read line by
    // line until the end of the stream.
    std::ifstream table("/proc/self/mountinfo");
    if (wanted.isEmpty() || !table) {
        return false;
    }
    // Each line: ID PARENT MAJ:MIN ROOT MOUNTPOINT OPTIONS [OPTIONAL...] - TYPE SOURCE ...
    std::string line;
    while (std::getline(table, line)) {
        const QByteArrayList fields = QByteArray::fromStdString(line).split(' ');
        const qsizetype separator = fields.indexOf(QByteArrayLiteral("-"));
        if (fields.size() < 5 || separator < 0 || separator + 1 >= fields.size()) {
            continue;
        }
        const QByteArray& type = fields.at(separator + 1);
        const bool fuse = type == "fuse" || type == "fuseblk" || type.startsWith("fuse.") ||
                          type.startsWith("fuseblk.");
        if (fuse && decodeField(fields.at(4)) == wanted) {
            return true;
        }
    }
    return false;
}

QString MountTable::resolvedPath(const QString& mountPoint) {
    const QFileInfo info(QDir::cleanPath(mountPoint));
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (parent.isEmpty()) {
        return {};
    }
    return parent == QLatin1String("/") ? parent + info.fileName()
                                        : parent + QLatin1Char('/') + info.fileName();
}

// The table writes space, tab, newline and backslash as three octal digits
// after a backslash ("\040").
QString MountTable::decodeField(const QByteArray& field) {
    QByteArray decoded;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                decoded.append(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        decoded.append(field.at(i));
    }
    return QFile::decodeName(decoded);
}

} // namespace dravelo
