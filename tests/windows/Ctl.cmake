# The CTL checker and diagnostic windows.
quarvo_window_test(ctl_window_tests ${CMAKE_CURRENT_LIST_DIR}/CtlWindowTest.cpp)
