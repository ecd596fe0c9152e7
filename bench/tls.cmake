# The TLS benchmark serves its data with the tests' TLS peer, built on nycl-server's connection.
if(NOT TARGET nycl_server_transport)
  include("${PROJECT_SOURCE_DIR}/tools/nycl-server/Transport.cmake")
endif()
target_sources(bench_${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support/TlsTestPeer.cc")
target_include_directories(bench_${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
target_link_libraries(bench_${name} PRIVATE nycl_server_transport)
target_compile_definitions(bench_${name} PRIVATE NYCL_TEST_CERTS_DIR="${PROJECT_SOURCE_DIR}/certs")
