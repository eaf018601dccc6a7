# The drawing engine's sources.
target_sources(button PRIVATE button_painter.h button_painter.cpp)
