# Archiving a 100 MiB log with the zip writer against bare minizip: bench/archive.sh runs it.
add_executable(archive_bench ${CMAKE_CURRENT_LIST_DIR}/ArchiveBench.cpp)
target_link_libraries(archive_bench PRIVATE tarnwick_settings tarnwick_core)
target_link_options(archive_bench PRIVATE -municode)
