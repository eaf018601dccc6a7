# The wrapper objects: target dialogs (links dialogs_platform), and the demo program.

# The parts that need no dialog: text and flag helpers, the error, the font and printer objects.
add_library(dialogs_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/dialog_text.h ${CMAKE_CURRENT_LIST_DIR}/dialog_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_error.h ${CMAKE_CURRENT_LIST_DIR}/dialog_error.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stdfont.h ${CMAKE_CURRENT_LIST_DIR}/stdfont.cpp)
target_include_directories(dialogs_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(dialogs_core PUBLIC Qt6::Core)

# The wrapper over the platform's dialogs; left out while the platform layer is absent.
if(TARGET dialogs_platform)
  add_library(dialogs STATIC
    ${CMAKE_CURRENT_LIST_DIR}/cmemory.h ${CMAKE_CURRENT_LIST_DIR}/cmemory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gcommondialog.h ${CMAKE_CURRENT_LIST_DIR}/gcommondialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ccommondialog.h ${CMAKE_CURRENT_LIST_DIR}/ccommondialog.cpp)
  target_include_directories(dialogs PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(dialogs PUBLIC dialogs_core dialogs_platform)
endif()

# A small program that shows each dialog through cCommonDialog and prints the results.
if(TARGET dialogs)
  add_executable(dialog_demo ${CMAKE_CURRENT_LIST_DIR}/demo/dialog_demo.cpp)
  target_link_libraries(dialog_demo PRIVATE dialogs)
endif()
