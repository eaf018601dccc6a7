# Tests of the dialog platform layer.
