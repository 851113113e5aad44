# Desktop notifications against real session buses. Each scenario runs the
# test binary through a wrapper that starts (and stops) a private bus and the
# notification recorder as the scenario needs.
add_executable(notification_integration_tests
    ${CMAKE_CURRENT_SOURCE_DIR}/integration/NotificationCenterTest.cpp)
target_link_libraries(notification_integration_tests PRIVATE dravelo_test_support)

foreach(scenario IN ITEMS delivery hung_service no_service no_bus)
    add_test(NAME integration.notifications.${scenario}
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/integration/notifications/run-scenario.sh
            ${scenario} $<TARGET_FILE:notification_integration_tests>)
    set_tests_properties(integration.notifications.${scenario} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endforeach()
