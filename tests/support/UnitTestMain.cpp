#include <QApplication>

#include <gtest/gtest.h>

// Tests run against Qt's offscreen platform: an in-process clipboard and
// windows that are never shown on a screen.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Unit tests never reach the user's own session services (the keyring
    // above all): the session bus is one that does not exist.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/dravelo-unit-tests-bus");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
