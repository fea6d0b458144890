# Download throughput and memory: bench/download.sh runs these against the stand-in server.
add_executable(bench_bare_download ${CMAKE_CURRENT_LIST_DIR}/BareDownload.cpp)
target_link_libraries(bench_bare_download PRIVATE tarnwick_settings wininet)
target_link_options(bench_bare_download PRIVATE -municode)
