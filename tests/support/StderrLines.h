#pragma once
// The lines of what a program wrote on standard error (as a test captured it) that name something: a node, a place.

#include <string>

namespace qv::test {

inline int linesNaming(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (text.substr(at, end - at).find(what) != std::string::npos) ++n;
    at = end + 1;
  }
  return n;
}

}  // namespace qv::test
