# Tests of the dialog platform layer.
add_library(dialogs_platform_testhelpers STATIC platform_test_helpers.h platform_test_helpers.cpp)
target_link_libraries(dialogs_platform_testhelpers PUBLIC dialogs_platform)

zorv_add_test(platform_memory_tests SOURCES platform_memory_tests.cpp LIBS dialogs_platform)
zorv_add_test(platform_dialog_tests SOURCES platform_dialog_tests.cpp
              LIBS dialogs_platform dialogs_platform_testhelpers)
zorv_add_test(platform_x11_tests SOURCES platform_x11_tests.cpp
              LIBS dialogs_platform dialogs_platform_testhelpers X11)
target_compile_definitions(platform_x11_tests
                           PRIVATE ZORV_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
