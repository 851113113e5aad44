#pragma once

namespace dravelo::test {

// Runs the GoogleTest tests of this executable inside a QApplication on
// Qt's offscreen platform: an in-process clipboard and windows that are
// never shown on a screen.
int runQtTests(int argc, char** argv);

} // namespace dravelo::test
