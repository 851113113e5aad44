#include "platform/core/Log.h"
#include "support/LogRecorder.h"

#include <gtest/gtest.h>

using dravelo::log;
using dravelo::test::LogRecorder;

namespace {

TEST(Log, ControlCharactersInALineAreWrittenAsEscapes) {
    const struct {
        QString text;
        QString written;
    } cases[] = {
        {QStringLiteral("Found Dravelo Job File: a.pcf"),
         QStringLiteral("Found Dravelo Job File: a.pcf")},
        {QStringLiteral("x.pcf\nMove Successful."), QStringLiteral("x.pcf\\nMove Successful.")},
        {QStringLiteral("a\rb\tc"), QStringLiteral("a\\rb\\tc")},
        {QStringLiteral("esc\x1b[2Jbell\x07"), QStringLiteral("esc\\x{1b}[2Jbell\\x{07}")},
        {QStringLiteral(u"c1\u0085sep\u2028del\u007f"),
         QStringLiteral("c1\\x{85}sep\\x{2028}del\\x{7f}")},
        {QStringLiteral(u"Grüße, 日本, \\n stays"), QStringLiteral(u"Grüße, 日本, \\n stays")},
        {QStringLiteral(u"job\u202egnp.ppf"), QStringLiteral("job\\x{202e}gnp.ppf")},
        {QStringLiteral(u"\u2066a\u2069\u200e\u200f\u061c\u202a"),
         QStringLiteral("\\x{2066}a\\x{2069}\\x{200e}\\x{200f}\\x{61c}\\x{202a}")},
    };
    for (const auto& [text, written] : cases) {
        LogRecorder recorder;
        log(text);
        EXPECT_EQ(recorder.lines(), QStringList{written}) << text.toStdString();
    }
}

} // namespace
