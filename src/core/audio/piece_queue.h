#pragma once
// The queue that carries pieces from the audio thread to the decode stage, in file order.

#include <cstdint>

#include "core/audio/piece.h"
#include "core/channel.h"

namespace tw {

// Most pieces the queue holds, and most one library call takes, whatever --batch asks for:
// 64 pieces of at most 30 s (1.92 MB each) are 123 MB of samples waiting, and as many again in
// the batch being decoded. Every plan with a modest batch (six decode threads with up to 5, one
// with up to 32) stays below it.
inline constexpr std::uint64_t MAX_QUEUED_PIECES = 64;

using PieceSender = Sender<Piece>;
using PieceReceiver = Receiver<Piece>;

}  // namespace tw
