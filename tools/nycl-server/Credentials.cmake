# Run as a script (cmake -P) at build time: writes a C++ source holding the PEM texts of a
# certificate and its key, so that nycl-server presents them wherever it is installed.
#   -DCERT=<certificate.pem> -DKEY=<key.pem> -DOUT=<generated .cc>
function(nycl_server_pem_array file name out_var)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REPEAT "0x..," 16 sixteen)
  string(REGEX REPLACE "(${sixteen})" "\\1\n    " bytes "${bytes}")
  set(${out_var} "extern const char ${name}[];\nconst char ${name}[] = {\n    ${bytes}0x00};\n"
      PARENT_SCOPE)
endfunction()

nycl_server_pem_array("${CERT}" kEmbeddedCertificate cert_text)
nycl_server_pem_array("${KEY}" kEmbeddedKey key_text)
file(WRITE "${OUT}.tmp"
  "// Generated at build time from ${CERT} and ${KEY}; do not edit.\n"
  "// TEST CREDENTIALS: the key is public. Not for production.\n"
  "namespace nycl_server {\n${cert_text}${key_text}}  // namespace nycl_server\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
