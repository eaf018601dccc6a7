# Tests of the wrapper objects.
zorv_add_test(wrapper_text_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/wrapper_text_tests.cpp
              LIBS dialogs_core)
if(TARGET dialogs)
  zorv_add_test(wrapper_memory_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/wrapper_memory_tests.cpp
                LIBS dialogs)
endif()
if(TARGET dialogs)
  zorv_add_test(wrapper_dialog_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/wrapper_dialog_tests.cpp
                LIBS dialogs)
endif()
if(TARGET dialogs)
  zorv_add_test(wrapper_x11_tests X11 SOURCES ${CMAKE_CURRENT_LIST_DIR}/wrapper_x11_tests.cpp
                LIBS dialogs)
endif()
