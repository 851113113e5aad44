#include "platform/core/MainThread.h"

#include <QCoreApplication>

namespace dravelo {

void MainThread::run(std::function<void()> work) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

} // namespace dravelo
