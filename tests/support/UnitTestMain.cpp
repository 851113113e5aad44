#include <QApplication>

#include <gtest/gtest.h>

// Tests run against Qt's offscreen platform: an in-process clipboard and
// windows that are never shown on a screen.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
