kova_add_bench(store_bench SOURCES store_bench.cpp LIBS kova_store)
