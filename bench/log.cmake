# Logger throughput and the cost of a filtered call: bench/log.sh runs it.
add_executable(log_bench ${CMAKE_CURRENT_LIST_DIR}/LogBench.cpp)
target_link_libraries(log_bench PRIVATE tarnwick_settings tarnwick_core)
