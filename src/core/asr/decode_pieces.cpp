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

// Two or more pieces in one library call; the words of each piece, in piece order.
std::vector<std::vector<Word>> decode_batch(const Recognizer& recognizer,
                                            const std::vector<const Piece*>& batch) {
  const SpeechCalls& calls = recognizer.calls();
  std::vector<StreamHandle> streams;
  streams.reserve(batch.size());
  for (const Piece* piece : batch) streams.push_back(open_stream(recognizer, *piece));
  calls.decode_streams(recognizer.handle(), streams.data(),
                       static_cast<std::int32_t>(streams.size()));
  std::vector<std::vector<Word>> words;
  for (std::size_t i = 0; i < batch.size(); ++i) {
    words.push_back(read_words(calls, streams[i], batch[i]->start));
  }
  for (StreamHandle stream : streams) calls.destroy_stream(stream);
  return words;
}

std::vector<std::vector<Word>> decode_some(const Recognizer& recognizer,
                                           const std::vector<const Piece*>& batch) {
  if (batch.empty()) return {};
  if (batch.size() > 1) return decode_batch(recognizer, batch);
  std::vector<std::vector<Word>> words;
  words.push_back(decode_one(recognizer, *batch.front()));
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
    std::vector<const Piece*> pointers;
    for (const Piece& piece : batch) pointers.push_back(&piece);
    std::vector<Word> words;
    for (std::vector<Word>& piece_words : decode_some(recognizer, pointers)) {
      words.insert(words.end(), std::make_move_iterator(piece_words.begin()),
                   std::make_move_iterator(piece_words.end()));
    }
    if (Status delivered = deliver(end, std::move(words)); !delivered) return delivered;
  }
  return {};
}

// Takes what has already arrived, up to a batch of pieces (markers ride along), decodes the
// pieces in one call and delivers every item in queue order.
Status decode_files_on_this_thread(const Recognizer& recognizer, FileItemReceiver& items,
                                   const FileDelivery& deliver) {
  while (std::optional<FileItem> first = items.receive()) {
    std::vector<FileItem> taken;
    taken.push_back(std::move(*first));
    std::uint64_t pieces = taken.back().piece ? 1 : 0;
    while (pieces < recognizer.batch()) {
      std::optional<FileItem> more = items.try_receive();
      if (!more) break;
      if (more->piece) ++pieces;
      taken.push_back(std::move(*more));
    }
    std::vector<const Piece*> batch;
    for (const FileItem& item : taken) {
      if (item.piece) batch.push_back(&*item.piece);
    }
    std::vector<std::vector<Word>> words = decode_some(recognizer, batch);
    std::size_t next_words = 0;
    for (FileItem& item : taken) {
      Status delivered =
          item.piece ? deliver.words(item.file, item.piece->end(), std::move(words[next_words++]))
                     : deliver.end(item.file, std::move(item.audio));
      if (!delivered) return delivered;
    }
  }
  return {};
}

template <class Outcome>
struct Sequenced {
  std::uint64_t seq = 0;  // the item's position in the queue
  Outcome outcome;
};

// The receiving end of the queue and the count of items taken from it, under one lock: a
// decode thread waits for an item while holding it, so sequence numbers follow queue order.
template <class Item>
struct Intake {
  explicit Intake(Receiver<Item>& items) : items(items) {}

  std::mutex lock;
  Receiver<Item>& items;
  std::uint64_t taken = 0;
};

DecodedPiece decode_piece(const Recognizer& recognizer, Piece& piece) {
  return DecodedPiece{piece.end(), decode_one(recognizer, piece)};
}

// A piece decoded, or a file's end marker passed on.
struct DecodedFileItem {
  std::uint64_t file = 0;
  std::optional<DecodedPiece> decoded;  // nothing: the file's end
  Status audio;
};

DecodedFileItem decode_file_item(const Recognizer& recognizer, FileItem& item) {
  if (!item.piece) return DecodedFileItem{item.file, std::nullopt, std::move(item.audio)};
  return DecodedFileItem{item.file, decode_piece(recognizer, *item.piece), {}};
}

// Ends when the queue is drained, when nobody takes results any more, or once `stop` is
// requested: a thread waiting for an item then gives up at once, since the decoder may not
// produce one for a long time.
template <class Item, class Outcome>
void run_decode_thread(const Recognizer& recognizer, Intake<Item>& intake,
                       Outcome (*decode)(const Recognizer&, Item&),
                       Sender<Sequenced<Outcome>> results, std::stop_token stop) {
  while (!stop.stop_requested()) {
    std::optional<Item> item;
    std::uint64_t seq = 0;
    {
      std::lock_guard guard(intake.lock);
      item = intake.items.receive(stop);
      if (!item) return;
      seq = intake.taken++;
    }
    Outcome outcome = decode(recognizer, *item);
    if (!results.send(Sequenced<Outcome>{seq, std::move(outcome)})) return;
  }
}

template <class Item, class Outcome, class Deliver>
Status decode_on_workers(const Recognizer& recognizer, Receiver<Item>& items,
                         Outcome (*decode)(const Recognizer&, Item&), const Deliver& deliver) {
  auto [results_sender, results] = make_channel<Sequenced<Outcome>>(UNBOUNDED_CAPACITY);
  Intake<Item> intake(items);
  std::stop_source stop;
  std::vector<std::thread> threads;
  threads.reserve(recognizer.workers());
  for (std::uint64_t i = 0; i < recognizer.workers(); ++i) {
    threads.emplace_back(run_decode_thread<Item, Outcome>, std::cref(recognizer), std::ref(intake),
                         decode, results_sender.clone(), stop.get_token());
  }
  // The result queue reports its end once the last decode thread has ended.
  results_sender.release();

  std::optional<Error> failure;
  ReorderBuffer<Outcome> reorder;
  while (!failure) {
    std::optional<Sequenced<Outcome>> result = results.receive();
    if (!result) break;
    reorder.put(result->seq, std::move(result->outcome));
    while (std::optional<Outcome> next = reorder.take_next()) {
      if (Status delivered = deliver(std::move(*next)); !delivered) {
        stop.request_stop();
        failure.emplace(std::move(delivered.error()));
        break;
      }
    }
  }
  // A decode thread that finishes its item now finds nobody to send to and ends.
  results.release();
  for (std::thread& thread : threads) thread.join();
  if (failure) return fail(std::move(*failure));
  return {};
}

}  // namespace

Status decode_pieces(const Recognizer& recognizer, PieceReceiver& pieces,
                     const DeliverWords& deliver) {
  if (recognizer.workers() > 1) {
    return decode_on_workers(recognizer, pieces, decode_piece, [&deliver](DecodedPiece piece) {
      return deliver(piece.end, std::move(piece.words));
    });
  }
  return decode_on_this_thread(recognizer, pieces, deliver);
}

Status decode_file_pieces(const Recognizer& recognizer, FileItemReceiver& items,
                          const FileDelivery& deliver) {
  if (recognizer.workers() > 1) {
    return decode_on_workers(recognizer, items, decode_file_item, [&deliver](DecodedFileItem item) {
      if (!item.decoded) return deliver.end(item.file, std::move(item.audio));
      return deliver.words(item.file, item.decoded->end, std::move(item.decoded->words));
    });
  }
  return decode_files_on_this_thread(recognizer, items, deliver);
}

}  // namespace tw
