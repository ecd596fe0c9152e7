# TLS: the certificate authority that SSLTcpSocket trusts is compiled into the library.
#
# NYCL_TRUSTED_CA_PEM names the PEM file (one or more certificates) to embed. It defaults to the
# project's test authority in certs/, which suits development and tests only; a deployment
# points it at the authority that signs its application server's certificate. A relative path
# is taken from the top of the source tree. The file is read at build time into a generated
# source in the build tree, so editing it rebuilds the library.
#
# This file is also run as a script (cmake -P) by the build step that generates that source.

if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode: -DPEM=<input> -DOUT=<generated .cc>
  file(READ "${PEM}" pem_hex HEX)
  string(LENGTH "${pem_hex}" hex_length)
  math(EXPR byte_count "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," pem_bytes "${pem_hex}")
  string(REPEAT "0x..," 16 sixteen_bytes)
  string(REGEX REPLACE "(${sixteen_bytes})" "\\1\n    " pem_bytes "${pem_bytes}")
  file(WRITE "${OUT}.tmp"
    "// Generated at build time from ${PEM}; do not edit.\n"
    "namespace nycl {\n"
    "namespace tls_trust {\n"
    "extern const char kBuiltinAuthority[];\n"
    "extern const int kBuiltinAuthorityLength;\n"
    "const char kBuiltinAuthority[] = {\n    ${pem_bytes}0x00};\n"
    "const int kBuiltinAuthorityLength = ${byte_count};\n"
    "}  // namespace tls_trust\n"
    "}  // namespace nycl\n")
  file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUT}.tmp")
  return()
endif()

set(NYCL_TRUSTED_CA_PEM "${PROJECT_SOURCE_DIR}/certs/test-ca.pem" CACHE FILEPATH
    "PEM file of the certificate authority that SSLTcpSocket trusts (default: the TEST authority)")

get_filename_component(nycl_trusted_ca "${NYCL_TRUSTED_CA_PEM}" ABSOLUTE
                       BASE_DIR "${PROJECT_SOURCE_DIR}")
if(NOT EXISTS "${nycl_trusted_ca}")
  message(FATAL_ERROR "NYCL_TRUSTED_CA_PEM: ${nycl_trusted_ca} does not exist")
endif()
file(READ "${nycl_trusted_ca}" nycl_trusted_ca_text)
if(NOT nycl_trusted_ca_text MATCHES "-----BEGIN CERTIFICATE-----")
  message(FATAL_ERROR "NYCL_TRUSTED_CA_PEM: ${nycl_trusted_ca} holds no PEM certificate")
endif()
if(nycl_trusted_ca STREQUAL "${PROJECT_SOURCE_DIR}/certs/test-ca.pem")
  message(STATUS "TLS: embedding the TEST certificate authority (set NYCL_TRUSTED_CA_PEM to deploy)")
else()
  message(STATUS "TLS: embedding the certificate authority ${nycl_trusted_ca}")
endif()
unset(nycl_trusted_ca_text)

set(nycl_trusted_ca_source "${PROJECT_BINARY_DIR}/generated/net/SSLTcpSocketAuthority.cc")
add_custom_command(
  OUTPUT "${nycl_trusted_ca_source}"
  COMMAND "${CMAKE_COMMAND}" -DPEM=${nycl_trusted_ca} -DOUT=${nycl_trusted_ca_source}
          -P "${CMAKE_CURRENT_LIST_FILE}"
  DEPENDS "${nycl_trusted_ca}" "${CMAKE_CURRENT_LIST_FILE}"
  COMMENT "Embedding the trusted certificate authority"
  VERBATIM)
target_sources(nycl_objects PRIVATE "${nycl_trusted_ca_source}")

# The TLS tests talk to a real TLS server built on OpenSSL's server side, so the net test
# program links OpenSSL itself (the library keeps it private) and finds the test credentials in
# certs/, and learns which authority is built in. That program is defined after this file runs,
# hence the deferred call.
function(nycl_tls_link_net_test)
  if(TARGET nycl_net_test)
    target_link_libraries(nycl_net_test PRIVATE OpenSSL::SSL OpenSSL::Crypto)
    target_compile_definitions(nycl_net_test PRIVATE
      NYCL_TEST_CERTS_DIR="${PROJECT_SOURCE_DIR}/certs"
      NYCL_TEST_BUILTIN_AUTHORITY="${nycl_trusted_ca}")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY "${PROJECT_SOURCE_DIR}" CALL nycl_tls_link_net_test)
