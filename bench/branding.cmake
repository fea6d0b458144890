# Payload reading and branding extraction: bench/branding.sh runs it.
add_executable(branding_bench ${CMAKE_CURRENT_LIST_DIR}/BrandingBench.cpp)
target_link_libraries(branding_bench PRIVATE tarnwick_settings tarnwick_core)
target_link_options(branding_bench PRIVATE -municode)
