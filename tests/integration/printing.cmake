# PDF documents through qpdf, spooling through a stand-in `lp`, and the
# modal prompt as a real dialog, on Qt's offscreen platform.
add_executable(printing_integration_tests
    ${CMAKE_CURRENT_SOURCE_DIR}/integration/PdfDocumentTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/integration/LpPrintSpoolerTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/integration/DialogAlertTest.cpp)
target_link_libraries(printing_integration_tests PRIVATE dravelo_test_support)
gtest_discover_tests(printing_integration_tests
    TEST_PREFIX "integration.printing."
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 60
    DISCOVERY_TIMEOUT 60)
