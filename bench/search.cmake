kova_add_bench(search_bench SOURCES search_bench.cpp WindowBenchMain.cpp LIBS kova_mainwindow kova_standin)
