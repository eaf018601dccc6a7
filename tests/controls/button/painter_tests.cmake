# Tests of the drawing engine.
