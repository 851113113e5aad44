# The Preferences form as loaded in the client, on Qt's offscreen platform,
# over a settings file of each test's own.
add_executable(preferences_integration_tests
    ${CMAKE_CURRENT_SOURCE_DIR}/integration/PreferencesFormTest.cpp)
target_link_libraries(preferences_integration_tests PRIVATE dravelo_test_support)
gtest_discover_tests(preferences_integration_tests
    TEST_PREFIX "integration.preferences."
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 60
    DISCOVERY_TIMEOUT 60)
