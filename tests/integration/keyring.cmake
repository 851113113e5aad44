# The credential store against real keyring services. Each scenario runs the
# test binary through a wrapper that starts (and stops) a private session bus
# and the keyring services the scenario needs, under a private HOME.
add_executable(keyring_integration_tests
    ${CMAKE_CURRENT_SOURCE_DIR}/integration/KeychainTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/integration/BoundedCallTest.cpp)
target_link_libraries(keyring_integration_tests PRIVATE dravelo_test_support)

# The bounded wait needs no service.
add_test(NAME integration.keyring.bounded_call
    COMMAND keyring_integration_tests --gtest_filter=BoundedCall.*)
set_tests_properties(integration.keyring.bounded_call PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 60)

foreach(scenario IN ITEMS unlocked locked no_service no_bus hung_service)
    add_test(NAME integration.keyring.${scenario}
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/integration/keyring/run-scenario.sh
            ${scenario} $<TARGET_FILE:keyring_integration_tests>)
    set_tests_properties(integration.keyring.${scenario} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endforeach()
