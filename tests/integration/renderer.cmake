# The renderer program as the client starts it: its limits, and what the
# client does when it overruns them, dies or answers badly.
add_executable(renderer_integration_tests
    ${CMAKE_CURRENT_SOURCE_DIR}/integration/RendererProcessTest.cpp)
target_link_libraries(renderer_integration_tests PRIVATE dravelo_test_support)
gtest_discover_tests(renderer_integration_tests
    TEST_PREFIX "integration.renderer."
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 60
    DISCOVERY_TIMEOUT 60)
