# Start-up: the main window in process, and the whole program (bin/kova) started as a process.
kova_add_bench(startup_bench SOURCES startup_bench.cpp WindowBenchMain.cpp LIBS kova_mainwindow kova_standin)
target_compile_definitions(startup_bench PRIVATE KOVA_PROGRAM="$<TARGET_FILE:kova>")
add_dependencies(startup_bench kova)
# The window reads its skin from beside the program, as the real one does.
add_custom_command(TARGET startup_bench POST_BUILD COMMAND ${CMAKE_COMMAND} -E copy_if_different
    ${CMAKE_SOURCE_DIR}/assets/kova.sui $<TARGET_FILE_DIR:startup_bench>/kova.sui)
