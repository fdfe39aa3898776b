kova_add_bench(search_bench SOURCES search_bench.cpp LIBS kova_mainwindow kova_standin)
