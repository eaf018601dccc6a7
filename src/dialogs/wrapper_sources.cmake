# The wrapper objects: target dialogs (links dialogs_platform), and the demo program.

# The parts that need no dialog: text and flag helpers, the error, the font and printer objects.
add_library(dialogs_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/dialog_text.h ${CMAKE_CURRENT_LIST_DIR}/dialog_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_error.h ${CMAKE_CURRENT_LIST_DIR}/dialog_error.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stdfont.h ${CMAKE_CURRENT_LIST_DIR}/stdfont.cpp)
target_include_directories(dialogs_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(dialogs_core PUBLIC Qt6::Core)
