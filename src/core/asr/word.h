#pragma once
// A recognized word with its place in the file.

#include <string>

namespace tw {

struct Word {
  std::string text;    // UTF-8, never empty
  double start = 0.0;  // seconds from the beginning of the file
  double end = 0.0;    // seconds from the beginning of the file
};

}  // namespace tw
