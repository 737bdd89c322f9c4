#pragma once
// The queue of a run over several files: each file's pieces in order, tagged with the file's
// index, then a marker that ends the file and says how its audio ended. The pieces of the next
// file may follow at once, so its decoder runs while the previous file is still recognized.

#include <cstdint>
#include <optional>

#include "core/audio/piece.h"
#include "core/channel.h"
#include "core/error.h"

namespace tw {

struct FileItem {
  std::uint64_t file = 0;
  std::optional<Piece> piece;  // nothing: the file's end marker
  Status audio;                // the marker's: the decoder's outcome for the file
};

using FileItemSender = Sender<FileItem>;
using FileItemReceiver = Receiver<FileItem>;

}  // namespace tw
