#include "core/asr/decode_pieces.h"

#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "core/asr/read_words.h"
#include "core/asr/reorder_buffer.h"
#include "core/channel.h"
#include "core/platform/fail_fast.h"

namespace tw {
namespace {

// A stream of fewer samples has no feature frame, and the library aborts the process on it.
// The audio thread never makes such pieces (its shortest is a tenth of a second).
constexpr std::size_t MIN_DECODABLE_SAMPLES = 80;

// Creates a stream and gives it the piece's samples, by pointer: the piece outlives the stream.
StreamHandle open_stream(const Recognizer& recognizer, const Piece& piece) {
  if (piece.samples.size() < MIN_DECODABLE_SAMPLES) fail_fast("a piece too short to decode");
  if (piece.samples.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    fail_fast("a piece too long to decode");
  }
  const SpeechCalls& calls = recognizer.calls();
  StreamHandle stream = calls.create_stream(recognizer.handle());
  if (stream == nullptr) fail_fast("the speech library made no stream");
  calls.accept_waveform(stream, SAMPLE_RATE, piece.samples.data(),
                        static_cast<std::int32_t>(piece.samples.size()));
  return stream;
}

std::vector<Word> decode_one(const Recognizer& recognizer, const Piece& piece) {
  const SpeechCalls& calls = recognizer.calls();
  StreamHandle stream = open_stream(recognizer, piece);
  calls.decode_stream(recognizer.handle(), stream);
  std::vector<Word> words = read_words(calls, stream, piece.start);
  calls.destroy_stream(stream);
  return words;
}

// Two or more pieces in one library call; their words in piece order.
std::vector<Word> decode_batch(const Recognizer& recognizer, const std::vector<Piece>& batch) {
  const SpeechCalls& calls = recognizer.calls();
  std::vector<StreamHandle> streams;
  streams.reserve(batch.size());
  for (const Piece& piece : batch) streams.push_back(open_stream(recognizer, piece));
  calls.decode_streams(recognizer.handle(), streams.data(),
                       static_cast<std::int32_t>(streams.size()));
  std::vector<Word> words;
  for (std::size_t i = 0; i < batch.size(); ++i) {
    std::vector<Word> piece_words = read_words(calls, streams[i], batch[i].start);
    words.insert(words.end(), std::make_move_iterator(piece_words.begin()),
                 std::make_move_iterator(piece_words.end()));
  }
  for (StreamHandle stream : streams) calls.destroy_stream(stream);
  return words;
}

Status decode_on_this_thread(const Recognizer& recognizer, PieceReceiver& pieces,
                             const DeliverWords& deliver) {
  while (std::optional<Piece> first = pieces.receive()) {
    std::vector<Piece> batch;
    batch.push_back(std::move(*first));
    // Only what has already arrived: waiting to fill a batch would hold back the output.
    while (batch.size() < recognizer.batch()) {
      std::optional<Piece> more = pieces.try_receive();
      if (!more) break;
      batch.push_back(std::move(*more));
    }
    const double end = batch.back().end();
    std::vector<Word> words =
        batch.size() == 1 ? decode_one(recognizer, batch.front()) : decode_batch(recognizer, batch);
    if (Status delivered = deliver(end, std::move(words)); !delivered) return delivered;
  }
  return {};
}

struct PieceResult {
  std::uint64_t seq = 0;  // the piece's position in the queue
  DecodedPiece decoded;
};

// The receiving end of the piece queue and the count of pieces taken from it, under one lock:
// a decode thread waits for a piece while holding it, so sequence numbers follow queue order.
struct Intake {
  explicit Intake(PieceReceiver& pieces) : pieces(pieces) {}

  std::mutex lock;
  PieceReceiver& pieces;
  std::uint64_t taken = 0;
};

// Ends when the queue is drained, when nobody takes results any more, or once `stop` is
// requested: a thread waiting for a piece then gives up at once, since the decoder may not
// produce one for a long time.
void run_decode_thread(const Recognizer& recognizer, Intake& intake, Sender<PieceResult> results,
                       std::stop_token stop) {
  while (!stop.stop_requested()) {
    std::optional<Piece> piece;
    std::uint64_t seq = 0;
    {
      std::lock_guard guard(intake.lock);
      piece = intake.pieces.receive(stop);
      if (!piece) return;
      seq = intake.taken++;
    }
    DecodedPiece decoded{piece->end(), decode_one(recognizer, *piece)};
    if (!results.send(PieceResult{seq, std::move(decoded)})) return;
  }
}

Status decode_on_workers(const Recognizer& recognizer, PieceReceiver& pieces,
                         const DeliverWords& deliver) {
  auto [results_sender, results] = make_channel<PieceResult>(UNBOUNDED_CAPACITY);
  Intake intake(pieces);
  std::stop_source stop;
  std::vector<std::thread> threads;
  threads.reserve(recognizer.workers());
  for (std::uint64_t i = 0; i < recognizer.workers(); ++i) {
    threads.emplace_back(run_decode_thread, std::cref(recognizer), std::ref(intake),
                         results_sender.clone(), stop.get_token());
  }
  // The result queue reports its end once the last decode thread has ended.
  results_sender.release();

  std::optional<Error> failure;
  ReorderBuffer reorder;
  while (!failure) {
    std::optional<PieceResult> result = results.receive();
    if (!result) break;
    reorder.put(result->seq, std::move(result->decoded));
    while (std::optional<DecodedPiece> next = reorder.take_next()) {
      if (Status delivered = deliver(next->end, std::move(next->words)); !delivered) {
        stop.request_stop();
        failure.emplace(std::move(delivered.error()));
        break;
      }
    }
  }
  // A decode thread that finishes its piece now finds nobody to send to and ends.
  results.release();
  for (std::thread& thread : threads) thread.join();
  if (failure) return fail(std::move(*failure));
  return {};
}

}  // namespace

Status decode_pieces(const Recognizer& recognizer, PieceReceiver& pieces,
                     const DeliverWords& deliver) {
  if (recognizer.workers() > 1) return decode_on_workers(recognizer, pieces, deliver);
  return decode_on_this_thread(recognizer, pieces, deliver);
}

}  // namespace tw
