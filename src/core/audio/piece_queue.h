#pragma once
// The queue that carries pieces from the audio thread to the decode stage, in file order.

#include "core/audio/piece.h"
#include "core/channel.h"

namespace tw {

using PieceSender = Sender<Piece>;
using PieceReceiver = Receiver<Piece>;

}  // namespace tw
