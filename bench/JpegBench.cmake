# The JPEG benchmark compares whole processes: our loader in a helper program that loads one
# file and ends, against djpeg. The helper is built into a folder of its own, so that
# scripts/bench, which runs every program in this one, does not take it for a benchmark.
add_executable(jpeg_load_once jpeg_load_once.cpp)
target_link_libraries(jpeg_load_once PRIVATE imaging vellumine_warnings)
# Only the libraries the loader calls: the X11 ones the framework brings would add their
# start-up to every measurement.
target_link_options(jpeg_load_once PRIVATE -Wl,--as-needed)
set_target_properties(jpeg_load_once PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/helpers)

add_executable(jpeg_bench jpeg_bench.cpp ${PROJECT_SOURCE_DIR}/tests/support/JpegMaker.cpp)
target_include_directories(jpeg_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(jpeg_bench PRIVATE imaging pictures JPEG::JPEG vellumine_warnings)
target_compile_definitions(jpeg_bench PRIVATE JPEG_LOAD_ONCE="$<TARGET_FILE:jpeg_load_once>")
add_dependencies(jpeg_bench jpeg_load_once)
