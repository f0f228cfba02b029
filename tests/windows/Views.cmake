# The graphical viewer and the explorer with its go-to dialog.
quarvo_window_test(views_graph_window_test GraphWindowTest.cpp)
quarvo_window_test(views_explorer_window_test ExplorerWindowTest.cpp)
