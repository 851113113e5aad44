#include "platform/core/MainThread.h"

#include <QCoreApplication>
#include <QThread>

namespace dravelo {

void MainThread::run(std::function<void()> work) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

bool MainThread::isCurrent() {
    const QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

} // namespace dravelo
