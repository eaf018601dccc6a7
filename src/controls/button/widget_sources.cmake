# The widget's sources.
