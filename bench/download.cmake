# Download throughput and memory: bench/download.sh runs these against the stand-in server.
add_executable(bench_bare_download ${CMAKE_CURRENT_LIST_DIR}/BareDownload.cpp)
target_link_libraries(bench_bare_download PRIVATE tarnwick_settings wininet psapi)
target_link_options(bench_bare_download PRIVATE -municode)

add_executable(bench_download_package ${CMAKE_CURRENT_LIST_DIR}/DownloadPackageBench.cpp)
target_link_libraries(bench_download_package PRIVATE tarnwick_settings tarnwick_ui psapi)
target_link_options(bench_download_package PRIVATE -municode)
