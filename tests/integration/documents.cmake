# Job documents on real Qt (offscreen): the PDF view's copy of a page or of a
# selection through the system clipboard, and the application object's
# attention gate.
add_executable(documents_integration_tests ${CMAKE_CURRENT_SOURCE_DIR}/integration/DocumentsTest.cpp)
target_link_libraries(documents_integration_tests PRIVATE dravelo_test_support Qt6::Pdf)
gtest_discover_tests(documents_integration_tests
    TEST_PREFIX "integration.documents."
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120
    DISCOVERY_TIMEOUT 60)
