# The tests of the Windows build. They are not run by ctest on this machine: the
# script scripts/test-windows.sh runs them under wine.
set(ORVO_WINDOWS_SHIMS -include ${CMAKE_CURRENT_SOURCE_DIR}/support/WindowsShims.h)

# The core: everything but what starts the emulator program on a pseudo-terminal
# and what checks POSIX file modes.
file(GLOB ORVO_CORE_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/core/*.cpp)
list(FILTER ORVO_CORE_TESTS EXCLUDE REGEX "/(PhoneEmulatorTest|FileOperationsTest|LocalFileTest)\\.cpp$")
add_executable(core_tests ${ORVO_CORE_TESTS})
target_compile_options(core_tests PRIVATE ${ORVO_WINDOWS_SHIMS})
target_link_libraries(core_tests PRIVATE orvo_test_support orvo_app ZLIB::ZLIB GTest::gtest_main)

# The serial component's Windows line against two COM ports joined back to back.
add_executable(serial_tests serial/main.cpp serial/WindowsLineTest.cpp)
target_link_libraries(serial_tests PRIVATE orvo_serial orvo_app Qt6::Core GTest::gtest)

# The command line without a phone.
add_executable(cli_tests cli/main.cpp cli/CliUnitTest.cpp)
target_compile_options(cli_tests PRIVATE ${ORVO_WINDOWS_SHIMS})
target_link_libraries(cli_tests PRIVATE orvo_cli_lib orvo_test_support Qt6::Core GTest::gtest)
