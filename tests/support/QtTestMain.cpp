#include "support/QtTests.h"

// The entry point of test executables that bring none of their own.
int main(int argc, char** argv) {
    return dravelo::test::runQtTests(argc, argv);
}
