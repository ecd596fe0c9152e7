# The TLS benchmark serves its data with the tests' TLS peer, built on OpenSSL's server side.
target_sources(bench_${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support/TlsTestPeer.cc")
target_include_directories(bench_${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
target_link_libraries(bench_${name} PRIVATE OpenSSL::SSL OpenSSL::Crypto)
target_compile_definitions(bench_${name} PRIVATE NYCL_TEST_CERTS_DIR="${PROJECT_SOURCE_DIR}/certs")
