# Thumbnails: the fetcher bringing 100 and 1,000 pictures from the stand-in server into an
# empty picture cache, on one connection and on several.
kova_add_bench(thumbnail_bench SOURCES thumbnail_bench.cpp LIBS kova_search kova_standin)
