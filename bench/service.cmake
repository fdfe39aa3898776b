# Page loading: PageLoader into PageText beside a plain libcurl GET of the same pages.
if(TARGET kova_standin)
    kova_add_bench(service_bench SOURCES service_bench.cpp LIBS kova_service kova_standin CURL::libcurl)
endif()
