# The wrapper objects: target dialogs (links dialogs_platform), and the demo program.
