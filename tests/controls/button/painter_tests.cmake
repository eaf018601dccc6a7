# Tests of the drawing engine.
zorv_add_test(button_painter_tests
  SOURCES painter_main_tests.cpp painter_tests.h
          painter_color_tests.cpp painter_outline_tests.cpp painter_layout_tests.cpp
          painter_render_tests.cpp painter_state_tests.cpp
  LIBS button)

# The gallery of every style, outline and state, written as one PNG.
add_test(NAME button_gallery
         COMMAND sh -c "\"$0\" \"$1\" && test -s \"$1\""
                 $<TARGET_FILE:button_gallery> ${CMAKE_BINARY_DIR}/screenshots/buttons.png)
set_tests_properties(button_gallery PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                     TIMEOUT 120)
