kova_add_bench(results_bench SOURCES results_bench.cpp LIBS kova_mainwindow)
