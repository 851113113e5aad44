# The system clipboard through Qt. The same tests run twice: on Qt's offscreen
# platform (the in-process clipboard), and on X11 under a private Xvfb with
# xclip as the other program; there each test gets a display of its own.
add_library(pasteboard_integration_test_objects OBJECT
    ${CMAKE_CURRENT_SOURCE_DIR}/integration/SystemPasteboardTest.cpp)
target_link_libraries(pasteboard_integration_test_objects PRIVATE dravelo_platform GTest::gtest)

add_executable(pasteboard_offscreen_tests $<TARGET_OBJECTS:pasteboard_integration_test_objects>)
target_link_libraries(pasteboard_offscreen_tests PRIVATE dravelo_platform GTest::gtest)
gtest_discover_tests(pasteboard_offscreen_tests
    TEST_PREFIX "integration.pasteboard.offscreen."
    TEST_FILTER "SystemPasteboard.*"
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 60
    DISCOVERY_TIMEOUT 60)

add_executable(pasteboard_x11_tests $<TARGET_OBJECTS:pasteboard_integration_test_objects>)
target_link_libraries(pasteboard_x11_tests PRIVATE dravelo_platform GTest::gtest)
set_target_properties(pasteboard_x11_tests PROPERTIES CROSSCOMPILING_EMULATOR
    "bash;${CMAKE_CURRENT_SOURCE_DIR}/integration/pasteboard/with-xvfb.sh")
# Listed when ctest runs, so that building needs no X server.
gtest_discover_tests(pasteboard_x11_tests
    TEST_PREFIX "integration.pasteboard.x11."
    PROPERTIES TIMEOUT 60
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60)
