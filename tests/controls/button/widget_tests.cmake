# Tests of the widget.
