#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QThread>

namespace dravelo {

void MainThread::run(std::function<void()> work) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

bool MainThread::isCurrent() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace dravelo
