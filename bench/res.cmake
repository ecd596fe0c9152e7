# The resource benchmark measures Xrm from libX11 in the same program, as the reference.
find_package(X11 REQUIRED)
target_link_libraries(bench_${name} PRIVATE X11::X11)
