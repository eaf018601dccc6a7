# The widget's sources.
target_sources(button PRIVATE
  property_bag.h property_bag.cpp
  rkbuttons_h.h rkbuttons_h.cpp rkbuttons_properties.cpp rkbuttons_persistence.cpp
  rkbuttons_input.cpp)
