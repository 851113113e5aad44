#include "support/QtTests.h"

#include <QByteArray>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Unit tests never reach the user's own session services (the keyring
    // above all): their session bus is one that does not exist.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/dravelo-unit-tests-bus");
    return dravelo::test::runQtTests(argc, argv);
}
