# The drawing engine's sources.
target_sources(button PRIVATE
  button_painter.h button_painter.cpp
  button_engine.h
  button_colors.cpp
  button_outline.cpp
  button_layout.cpp
  button_faces.cpp
  button_edges.cpp
  button_content.cpp
  button_styles.h button_styles.cpp
  button_style_soft.cpp
  button_style_round.cpp)

# A gallery of every style, outline and state in one picture; built with the tests, which
# run it.
if(ZORV_BUILD_TESTS)
  add_executable(button_gallery gallery/button_gallery.cpp)
  target_link_libraries(button_gallery PRIVATE button)
endif()
