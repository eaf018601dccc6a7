# Tests of the wrapper objects.
