# The network layer and the work thread against a loopback peer in the test
# process itself.
add_executable(network_integration_tests integration/NetworkTest.cpp)
target_link_libraries(network_integration_tests PRIVATE dravelo_test_support)
gtest_discover_tests(network_integration_tests
    TEST_PREFIX "integration.network."
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120
    DISCOVERY_TIMEOUT 60)
