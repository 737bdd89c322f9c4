#pragma once
// The decode stage: pieces from the queue become words, handed on in queue order.

#include <cstdint>
#include <functional>
#include <vector>

#include "core/asr/recognizer.h"
#include "core/asr/word.h"
#include "core/audio/file_item.h"
#include "core/audio/piece_queue.h"
#include "core/error.h"

namespace tw {

// Receives the end of the audio covered (seconds from the beginning of the file) and its
// words; a failure stops the stage.
using DeliverWords = std::function<Status(double end, std::vector<Word> words)>;

// Decodes every piece of `pieces` until the queue is disconnected and drained, and calls
// `deliver` on the calling thread, in queue order: once per piece with more than one worker
// (worker threads decode a piece each), otherwise once per batch of up to recognizer.batch()
// pieces that had already arrived (decoded in one library call). After a failed `deliver` no
// further call is made and that error is returned; in worker mode only once every decode
// thread has ended (one waiting for a piece gives up at once, one decoding finishes first).
Status decode_pieces(const Recognizer& recognizer, PieceReceiver& pieces,
                     const DeliverWords& deliver);

// Where the items of a queue over several files go, in queue order.
struct FileDelivery {
  // One piece's words, with the file's index and the end of the piece.
  std::function<Status(std::uint64_t file, double end, std::vector<Word> words)> words;
  // A file's end marker, not decoded.
  std::function<Status(std::uint64_t file, Status audio)> end;
};

// As decode_pieces, over a queue of several files' pieces and end markers: every piece's words
// are delivered by themselves, also when it was decoded in one library call with others (of
// the same file or not), and a marker is delivered after the words of the pieces before it.
Status decode_file_pieces(const Recognizer& recognizer, FileItemReceiver& items,
                          const FileDelivery& deliver);

}  // namespace tw
