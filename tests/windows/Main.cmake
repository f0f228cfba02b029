quarvo_window_test(main_window_tests ${CMAKE_CURRENT_LIST_DIR}/MainWindowTest.cpp)
quarvo_window_test(template_tests ${CMAKE_CURRENT_LIST_DIR}/TemplatesTest.cpp)
quarvo_window_test(user_session_tests ${CMAKE_CURRENT_LIST_DIR}/UserSessionTest.cpp)
