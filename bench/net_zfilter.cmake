# The comparison runs plain zlib inflate on the same data.
target_link_libraries(bench_${name} PRIVATE ZLIB::ZLIB)
