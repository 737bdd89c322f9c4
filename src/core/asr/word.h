#pragma once
// A recognized word with its times in seconds from the beginning of the media file.

#include <string>

namespace tw {

struct Word {
  std::string text;  // UTF-8, never empty
  double start;
  double end;
};

}  // namespace tw
