#include "platform/desktop/ModalQueue.h"

#include "support/QtPrinting.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <memory>
#include <thread>

using dravelo::ModalQueue;

namespace {

// Runs an event loop of its own for a while, as an open prompt does.
void runPrompt() {
    QEventLoop prompt;
    QTimer::singleShot(20, &prompt, &QEventLoop::quit);
    prompt.exec();
}

TEST(ModalQueue, RunsItemsOnTheUiThreadInOrderOneAtATimeEvenWhileAPromptIsOpen) {
    ModalQueue queue;
    QStringList steps;
    bool allOnUiThread = true;
    const auto step = [&](const QString& name) {
        allOnUiThread = allOnUiThread && QThread::currentThread() == qApp->thread();
        steps << name;
    };
    queue.enqueue([&] {
        step(QStringLiteral("first opens"));
        queue.enqueue([&] { step(QStringLiteral("third")); });
        runPrompt();
        step(QStringLiteral("first closes"));
    });
    std::thread intake([&] { queue.enqueue([&] { step(QStringLiteral("second")); }); });
    intake.join();
    EXPECT_TRUE(steps.isEmpty()) << "ran inside enqueue";

    QDeadlineTimer deadline(5000);
    while (steps.size() < 4 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    EXPECT_EQ(steps, (QStringList{QStringLiteral("first opens"), QStringLiteral("first closes"),
                                  QStringLiteral("second"), QStringLiteral("third")}));
    EXPECT_TRUE(allOnUiThread);
}

TEST(ModalQueue, ItemsStillQueuedWhenTheQueueGoesAreDropped) {
    bool ran = false;
    {
        ModalQueue queue;
        queue.enqueue([&ran] { ran = true; });
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

} // namespace
