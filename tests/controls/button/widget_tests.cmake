# Tests of the widget.
zorv_add_test(button_widget_tests
              SOURCES widget_main_tests.cpp widget_fixture_tests.h widget_properties_tests.cpp
                      widget_bag_tests.cpp widget_input_tests.cpp
              LIBS button)
