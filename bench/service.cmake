# Page loading: PageLoader into PageText beside a plain libcurl GET of the same pages.
kova_add_bench(service_bench SOURCES service_bench.cpp
    LIBS kova_service kova_standin kova_store CURL::libcurl PkgConfig::HTTPLIB)
