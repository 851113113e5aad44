# The drop volume's disk-image tool against the real mkfs.ext4, fuse2fs and
# fusermount3. Tests that need FUSE mounts skip themselves, with the reason,
# where this machine cannot mount. The executable has its own main: it also
# serves as the client process that one test kills.
add_executable(diskimage_integration_tests integration/DiskImageToolTest.cpp)
target_link_libraries(diskimage_integration_tests PRIVATE dravelo_test_support)
gtest_discover_tests(diskimage_integration_tests
    TEST_PREFIX "integration.diskimage."
    PROPERTIES TIMEOUT 120
    DISCOVERY_TIMEOUT 60)
