# The server's end of a connection (LineTransport: lines over plain TCP and TLS, deflate,
# deadlines) and its TLS context with the test credentials compiled in: nycl_server_transport.
# nycl-server is built on it, and so are the tests' TLS peer and the TLS benchmark. Included
# from here and, when the tools are not built, from where the tests or benchmarks need it.
set(_nycl_server_dir "${CMAKE_CURRENT_LIST_DIR}")
set(_nycl_server_cert "${PROJECT_SOURCE_DIR}/certs/test-server.pem")
set(_nycl_server_key "${PROJECT_SOURCE_DIR}/certs/test-server.key")
set(_nycl_server_credentials "${PROJECT_BINARY_DIR}/generated/nycl-server/Credentials.cc")
add_custom_command(
  OUTPUT "${_nycl_server_credentials}"
  COMMAND "${CMAKE_COMMAND}" -DCERT=${_nycl_server_cert} -DKEY=${_nycl_server_key}
          -DOUT=${_nycl_server_credentials} -P "${_nycl_server_dir}/Credentials.cmake"
  DEPENDS "${_nycl_server_cert}" "${_nycl_server_key}" "${_nycl_server_dir}/Credentials.cmake"
  COMMENT "Embedding the test server credentials in nycl-server"
  VERBATIM)

add_library(nycl_server_transport STATIC
  "${_nycl_server_dir}/LineTransport.cc"
  "${_nycl_server_dir}/Text.cc"
  "${_nycl_server_dir}/TlsContext.cc"
  "${_nycl_server_credentials}")
# Users include "nycl-server/LineTransport.h"; the server's own sources include it by name.
target_include_directories(nycl_server_transport PUBLIC "${PROJECT_SOURCE_DIR}/tools")
target_link_libraries(nycl_server_transport PUBLIC OpenSSL::SSL OpenSSL::Crypto ZLIB::ZLIB
                                            PRIVATE nycl_build_flags)
