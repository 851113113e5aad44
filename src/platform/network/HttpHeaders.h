#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

namespace dravelo {

// Header fields of a request, in the order they are sent.
using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

} // namespace dravelo
