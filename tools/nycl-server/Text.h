// Small text helpers of nycl-server: protocol argument quoting, printable renderings of
// received bytes for messages, and base64 as the protocol carries it.
#ifndef NYCL_SERVER_TEXT_H
#define NYCL_SERVER_TEXT_H

#include <string>

namespace nycl_server {

// `text` as one argument of a protocol line: unchanged when it is a plain word, otherwise in
// double quotes with backslash and double quote escaped, so that the client's tokeniser gives
// back exactly `text`.
std::string QuoteArg(const std::string& text);

// `bytes` in double quotes with control bytes escaped (\n, \r, \t, \xNN), cut after `limit`
// bytes with a note of the full length. For messages and the transcript.
std::string Printable(const std::string& bytes, std::size_t limit = 200);

// Standard base64 (RFC 4648) with padding, no line breaks.
std::string EncodeBase64(const std::string& bytes);

// Decodes `text`, which must be a whole number of 4-character groups with padding only at its
// end. Appends the bytes to *out; false (and *out unchanged) for anything else.
bool DecodeBase64(const std::string& text, std::string* out);

}  // namespace nycl_server

#endif  // NYCL_SERVER_TEXT_H
