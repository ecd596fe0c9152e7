// File and script transfer, uploads and blobs, from the server's side.
//
//   download:  S fgl_FileSend NAME TAG      C fgl_fileincache          (nothing more)
//                                           C fgl_needfileupdate    -> S fgl_FileData NAME B64
//                                                                      ... S fgl_FileSent NAME
//   store:     S fgl_FileSend NAME TAG TARGET 1   C fgl_FileStored PATH -> data as above
//   script:    S fgl_ScriptFileSend NAME, the download of NAME, S fgl_ScriptFileSent NAME; then
//              C fgl_filerequest NAME (one at a time, each answered by a download or by
//              S fgl_file_read_error) until C fgl_EndServerScript; S fgl_ScriptEnd.
//   upload:    S fgl_FileRequest PATH       C fgl_FileFound false
//                                           C fgl_FileFound true, base64 lines, an empty line,
//                                             "!***"
//   blob:      S fgl_Blob NAME [TYPE], fgl_BlobData NAME B64 ..., fgl_BlobEnd (no answers)
//
// Data lines carry 2040 bytes each (2720 base64 characters). The client encodes an upload in
// blocks of 2040 bytes: one line per full block; a last, shorter block gives a line for its
// whole groups of three bytes and a padded line of 4 characters for the one or two bytes left.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Session.h"
#include "Text.h"

namespace nycl_server {

namespace {

constexpr std::size_t kDataBlock = 2040;
constexpr std::size_t kMaxRequests = 100000;

std::string Names(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
  return "[" + text + "]";
}

// The lengths of the base64 lines in which the client uploads `size` bytes.
std::vector<std::size_t> UploadLineLengths(std::size_t size) {
  std::vector<std::size_t> lengths(size / kDataBlock, kDataBlock / 3 * 4);
  const std::size_t rest = size % kDataBlock;
  if (rest >= 3) lengths.push_back(rest / 3 * 4);
  if (rest % 3 != 0) lengths.push_back(4);
  return lengths;
}

std::string Lengths(const std::vector<std::size_t>& lengths) {
  std::string text;
  for (std::size_t length : lengths) text += (text.empty() ? "" : ", ") + std::to_string(length);
  return "[" + text + "]";
}

// Saves `bytes` as `path` through the temporary file `temporary` renamed over it, so that a
// reader never sees half an upload.
bool SaveAtomically(const std::string& path, const std::string& temporary, const std::string& bytes,
                    std::string* why) {
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *why = std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  const bool ok =
      done == bytes.size() && close(fd) == 0 && std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    *why = std::strerror(errno);
    unlink(temporary.c_str());
  }
  return ok;
}

}  // namespace

bool Session::LoadServed(const std::string& name, std::string* bytes) {
  std::string why;
  if (files_.Read(name, bytes, &why)) return true;
  return Fail("cannot serve " + Printable(name) + " from " + files_.root() + ": " + why);
}

bool Session::Offer(const std::string& name, long long tag, std::string* answer) {
  if (!Send("fgl_FileSend " + QuoteArg(name) + " " + std::to_string(tag))) return false;
  const std::string awaited = "fgl_fileincache or fgl_needfileupdate for " + Printable(name);
  if (!Read(answer, awaited)) return false;
  if (*answer == "fgl_fileincache" || *answer == "fgl_needfileupdate") return true;
  return Fail("expected " + awaited + ", received " + Printable(*answer));
}

bool Session::SendFileData(const std::string& name, const std::string& bytes, long long cut) {
  const std::string quoted = QuoteArg(name);
  const std::size_t end =
      cut >= 0 && static_cast<std::size_t>(cut) < bytes.size() ? cut : bytes.size();
  for (std::size_t at = 0; at < end; at += kDataBlock) {
    const std::size_t length = end - at < kDataBlock ? end - at : kDataBlock;
    if (!Send("fgl_FileData " + quoted + " " + EncodeBase64(bytes.substr(at, length)))) {
      return false;
    }
  }
  if (cut >= 0) {
    Note("the transfer of " + name + " breaks off after " + std::to_string(end) + " bytes");
    return true;
  }
  return Send("fgl_FileSent " + quoted);
}

bool Session::ServeFile(const std::string& name, const std::string& bytes) {
  std::string answer;
  if (!Offer(name, ServedFiles::Tag(bytes), &answer)) return false;
  if (answer == "fgl_fileincache") {
    cached_.push_back(name);
    return true;
  }
  return SendFileData(name, bytes, -1);
}

bool Session::PlayFile(const Step& step) {
  std::string bytes;
  if (!LoadServed(step.text, &bytes)) return false;
  if (step.kind == StepKind::kFileData) return SendFileData(step.text, bytes, step.value);
  std::string answer;
  const long long tag = step.tag >= 0 ? step.tag : ServedFiles::Tag(bytes);
  if (!Offer(step.text, tag, &answer)) return false;
  const char* required = step.answer == FileAnswer::kCached   ? "fgl_fileincache"
                         : step.answer == FileAnswer::kUpdate ? "fgl_needfileupdate"
                                                              : nullptr;
  if (required != nullptr && answer != required) {
    return Fail("expected " + Printable(required) + ", received " + Printable(answer));
  }
  return answer == "fgl_fileincache" || SendFileData(step.text, bytes, step.value);
}

bool Session::PlayStore(const Step& step) {
  std::string bytes;
  if (!LoadServed(step.text, &bytes)) return false;
  if (!Send("fgl_FileSend " + QuoteArg(step.text) + " " + std::to_string(ServedFiles::Tag(bytes)) +
            " " + QuoteArg(step.target) + " 1")) {
    return false;
  }
  static const std::string kStored = "fgl_FileStored ";
  std::string answer;
  if (!Read(&answer, "fgl_FileStored <absolute path>")) return false;
  if (answer.compare(0, kStored.size(), kStored) != 0) {
    return Fail("expected fgl_FileStored <absolute path>, received " + Printable(answer));
  }
  const std::string path = answer.substr(kStored.size());
  if (!step.path.empty() && path != step.path) {
    return Fail("the client stores at " + Printable(path) + ", expected " + Printable(step.path));
  }
  return SendFileData(step.text, bytes, -1);
}

bool Session::PlayScript(const Step& step) {
  requests_.clear();
  cached_.clear();
  std::string bytes;
  if (!LoadServed(step.text, &bytes)) return false;
  const std::string quoted = QuoteArg(step.text);
  if (!Send("fgl_ScriptFileSend " + quoted) || !ServeFile(step.text, bytes) ||
      !Send("fgl_ScriptFileSent " + quoted)) {
    return false;
  }
  static const std::string kRequest = "fgl_filerequest ";
  for (;;) {
    std::string line;
    if (!Read(&line, "fgl_filerequest NAME or fgl_EndServerScript")) return false;
    if (line == "fgl_EndServerScript") break;
    if (line.compare(0, kRequest.size(), kRequest) != 0) {
      return Fail("expected fgl_filerequest NAME or fgl_EndServerScript, received " +
                  Printable(line) + "; requests so far: " + Names(requests_));
    }
    if (requests_.size() == kMaxRequests) {
      return Fail("the client asked for more than " + std::to_string(kMaxRequests) + " files");
    }
    const std::string name = line.substr(kRequest.size());
    requests_.push_back(name);
    std::string why;
    if (!files_.Read(name, &bytes, &why)) {
      Note("not serving " + Printable(name) + ": " + why);
      if (!Send("fgl_file_read_error")) return false;
    } else if (!ServeFile(name, bytes)) {
      return false;
    }
  }
  return Send("fgl_ScriptEnd");
}

bool Session::CheckNames(const Step& step, const std::vector<std::string>& names,
                         const char* what) {
  if (names == step.words) return true;
  return Fail(std::string("the client's ") + what + " in the last script transfer were " +
              Names(names) + ", expected " + Names(step.words));
}

bool Session::PlayUpload(const Step& step) {
  if (!Send("fgl_FileRequest " + QuoteArg(step.text))) return false;
  std::string line;
  if (!Read(&line, "fgl_FileFound true or fgl_FileFound false")) return false;
  if (line == "fgl_FileFound false") {
    return step.flag || Fail("the client has no file " + Printable(step.text) +
                             " to upload (fgl_FileFound false)");
  }
  if (line != "fgl_FileFound true") {
    return Fail("expected fgl_FileFound true or fgl_FileFound false, received " + Printable(line));
  }
  if (step.flag) return Fail("expected fgl_FileFound false, received fgl_FileFound true");

  std::string data;
  std::vector<std::size_t> lengths;
  for (;;) {
    if (!Read(&line, "the next base64 line of the upload or the empty line after them", true)) {
      return false;
    }
    if (line.empty()) break;
    if (!DecodeBase64(line, &data)) {
      return Fail("upload line " + std::to_string(lengths.size() + 1) +
                  " is not base64: " + Printable(line, 80));
    }
    lengths.push_back(line.size());
    if (data.size() > kMaxFileSize) {
      return Fail("the upload runs past " + std::to_string(kMaxFileSize) + " bytes");
    }
  }
  return Expect("!***", true) && CheckUpload(step, data, lengths);
}

bool Session::CheckUpload(const Step& step, const std::string& data,
                          const std::vector<std::size_t>& line_lengths) {
  Note("received an upload of " + std::to_string(data.size()) + " bytes");
  const std::vector<std::size_t> expected = UploadLineLengths(data.size());
  if (line_lengths != expected) {
    return Fail("the " + std::to_string(data.size()) + " bytes came in base64 lines of " +
                Lengths(line_lengths) + " characters, expected " + Lengths(expected));
  }
  if (step.value >= 0 && data.size() != static_cast<std::size_t>(step.value)) {
    return Fail("received " + std::to_string(data.size()) + " bytes, expected " +
                std::to_string(step.value));
  }
  if (!step.target.empty()) {
    std::string local;
    std::string why;
    const std::string path = files_.Resolve(step.target);
    if (!ReadWholeFile(path, &local, &why)) return Fail("cannot read " + path + ": " + why);
    if (local != data) {
      std::size_t at = 0;
      while (at < local.size() && at < data.size() && local[at] == data[at]) ++at;
      return Fail("the upload (" + std::to_string(data.size()) + " bytes) differs from " + path +
                  " (" + std::to_string(local.size()) + " bytes) from byte " + std::to_string(at));
    }
  }
  if (!setup_.uploads.empty()) {
    std::string name = step.text.substr(step.text.rfind('/') + 1);
    if (name.empty() || name == "." || name == "..") name = "upload";
    const std::string path = setup_.uploads + "/" + name;
    std::string why;
    const std::string temporary = path + ".part" + std::to_string(number_);
    if (!SaveAtomically(path, temporary, data, &why)) {
      return Fail("cannot save " + path + ": " + why);
    }
    Note("saved the upload as " + path);
  }
  return true;
}

bool Session::PlayBlob(const Step& step) {
  std::string bytes;
  if (!LoadServed(step.path, &bytes)) return false;
  const std::string quoted = QuoteArg(step.text);
  if (!Send("fgl_Blob " + quoted + (step.target.empty() ? "" : " " + QuoteArg(step.target)))) {
    return false;
  }
  for (std::size_t at = 0; at < bytes.size(); at += kDataBlock) {
    if (!Send("fgl_BlobData " + quoted + " " + EncodeBase64(bytes.substr(at, kDataBlock)))) {
      return false;
    }
  }
  return Send("fgl_BlobEnd");
}

}  // namespace nycl_server
