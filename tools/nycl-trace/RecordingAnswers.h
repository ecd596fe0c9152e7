// The results and buffer texts a recording host hands back, set per operation name.
#ifndef NYCL_TOOLS_NYCL_TRACE_RECORDINGANSWERS_H
#define NYCL_TOOLS_NYCL_TRACE_RECORDINGANSWERS_H

#include <map>
#include <string>

namespace nycl::recording {

class Answers {
 public:
  void SetResult(const std::string& operation, int value) { results_[operation] = value; }
  void SetText(const std::string& operation, const std::string& text) { texts_[operation] = text; }

  // The result set for `operation`, else `fallback`.
  int Result(const std::string& operation, int fallback) const {
    auto it = results_.find(operation);
    return it == results_.end() ? fallback : it->second;
  }
  // The text set for `operation`, else null.
  const std::string* Text(const std::string& operation) const {
    auto it = texts_.find(operation);
    return it == texts_.end() ? nullptr : &it->second;
  }

 private:
  std::map<std::string, int> results_;
  std::map<std::string, std::string> texts_;
};

}  // namespace nycl::recording

#endif  // NYCL_TOOLS_NYCL_TRACE_RECORDINGANSWERS_H
