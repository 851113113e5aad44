#include "platform/Log.h"

#include <gtest/gtest.h>

#include <QStringList>

using dravelo::Log;

TEST(Log, SinkReceivesEveryLineUntilRemoved) {
    QStringList lines;
    Log::setSink([&](const QString& line) { lines << line; });
    dravelo::log(QStringLiteral("Move Successful."));
    dravelo::log(QStringLiteral("Found Dravelo Job File: a.pcf"));
    Log::setSink({});
    dravelo::log(QStringLiteral("not captured"));
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Move Successful."),
                                  QStringLiteral("Found Dravelo Job File: a.pcf")}));
}
