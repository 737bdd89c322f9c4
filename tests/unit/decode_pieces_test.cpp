#include "core/asr/decode_pieces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "fake_speech_library.h"

namespace tw {
namespace {

using testing::fake_piece;
using testing::FakeSpeechLibrary;

struct Delivery {
  double end;
  std::vector<Word> words;
};

// Collects what the stage delivers; fails the call numbered `fail_at` (0-based), if given.
struct Collector {
  std::vector<Delivery> deliveries;
  std::optional<std::size_t> fail_at;

  DeliverWords deliver() {
    return [this](double end, std::vector<Word> words) -> Status {
      deliveries.push_back({end, std::move(words)});
      if (fail_at && deliveries.size() == *fail_at + 1) return fail("record not written");
      return {};
    };
  }
};

// The default fake result of piece k: one word "p<k>" at 0.5 s into the piece.
Word fake_word(int piece, double piece_start) {
  const double start = static_cast<double>(0.5f) + piece_start;
  return Word{"p" + std::to_string(piece), start, start + 0.1};
}

void expect_words(const std::vector<Word>& actual, const std::vector<Word>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_EQ(actual[i].text, expected[i].text) << i;
    EXPECT_EQ(actual[i].start, expected[i].start) << i;
    EXPECT_EQ(actual[i].end, expected[i].end) << i;
  }
}

// A queue holding pieces 0 .. count-1 (one second each, back to back), already disconnected.
PieceReceiver queued_pieces(int count, std::size_t samples = 16000) {
  auto [sender, receiver] = make_channel<Piece>(static_cast<std::size_t>(count) + 1);
  for (int i = 0; i < count; ++i) sender.send(fake_piece(i, i * 1.0, samples));
  return std::move(receiver);
}

TEST(DecodePieces, NoPiecesMeansNoDeliveryAndSuccess) {
  for (std::uint64_t workers : {1, 3}) {
    FakeSpeechLibrary library;
    Collector collector;
    PieceReceiver pieces = queued_pieces(0);
    EXPECT_TRUE(decode_pieces(library.recognizer(workers, 1), pieces, collector.deliver()));
    EXPECT_TRUE(collector.deliveries.empty());
    EXPECT_EQ(library.streams_created(), 0);
  }
}

TEST(DecodePieces, BatchOfOneDecodesAndDeliversEachPieceInOrder) {
  FakeSpeechLibrary library;
  Collector collector;
  PieceReceiver pieces = queued_pieces(3);
  ASSERT_TRUE(decode_pieces(library.recognizer(1, 1), pieces, collector.deliver()));
  EXPECT_EQ(library.decode_calls(), (std::vector<std::vector<int>>{{0}, {1}, {2}}));
  ASSERT_EQ(collector.deliveries.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(collector.deliveries[i].end, i + 1.0);
    expect_words(collector.deliveries[i].words, {fake_word(i, i)});
  }
  EXPECT_EQ(library.streams_alive(), 0);
  EXPECT_EQ(library.texts_alive(), 0);
}

TEST(DecodePieces, BatchTakesWhatHasArrivedInOneCallAndOneDelivery) {
  FakeSpeechLibrary library;
  Collector collector;
  PieceReceiver pieces = queued_pieces(2);
  ASSERT_TRUE(decode_pieces(library.recognizer(1, 4), pieces, collector.deliver()));
  EXPECT_EQ(library.decode_calls(), (std::vector<std::vector<int>>{{0, 1}}));
  ASSERT_EQ(collector.deliveries.size(), 1u);
  EXPECT_EQ(collector.deliveries[0].end, 2.0);  // the second piece's end
  expect_words(collector.deliveries[0].words, {fake_word(0, 0.0), fake_word(1, 1.0)});
  EXPECT_EQ(library.streams_alive(), 0);
  EXPECT_EQ(library.texts_alive(), 0);
}

TEST(DecodePieces, BatchesAreCappedAtTheBatchSize) {
  FakeSpeechLibrary library;
  Collector collector;
  PieceReceiver pieces = queued_pieces(7);
  ASSERT_TRUE(decode_pieces(library.recognizer(1, 3), pieces, collector.deliver()));
  EXPECT_EQ(library.decode_calls(), (std::vector<std::vector<int>>{{0, 1, 2}, {3, 4, 5}, {6}}));
  ASSERT_EQ(collector.deliveries.size(), 3u);
  EXPECT_EQ(collector.deliveries[2].end, 7.0);
}

TEST(DecodePieces, NoCallTakesMorePiecesThanTheQueueHolds) {
  FakeSpeechLibrary library;
  Collector collector;
  PieceReceiver pieces = queued_pieces(static_cast<int>(MAX_QUEUED_PIECES) + 6, 80);
  ASSERT_TRUE(decode_pieces(library.recognizer(1, 1000000), pieces, collector.deliver()));
  const auto calls = library.decode_calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].size(), MAX_QUEUED_PIECES);
  EXPECT_EQ(calls[1].size(), 6u);
}

TEST(DecodePieces, ABatchIsNotWaitedFor) {
  // Only piece 0 has arrived when decoding starts; pieces 1 and 2 arrive while it is delivered.
  FakeSpeechLibrary library;
  auto [sender, pieces] = make_channel<Piece>(8);
  sender.send(fake_piece(0, 0.0));
  std::vector<double> ends;
  DeliverWords deliver = [&](double end, std::vector<Word>) -> Status {
    ends.push_back(end);
    if (ends.size() == 1) {
      sender.send(fake_piece(1, 1.0));
      sender.send(fake_piece(2, 2.0));
      sender.release();
    }
    return {};
  };
  ASSERT_TRUE(decode_pieces(library.recognizer(1, 4), pieces, deliver));
  EXPECT_EQ(library.decode_calls(), (std::vector<std::vector<int>>{{0}, {1, 2}}));
  EXPECT_EQ(ends, (std::vector<double>{1.0, 3.0}));
}

TEST(DecodePieces, SamplesGoToTheLibraryWithoutACopy) {
  for (std::uint64_t workers : {1, 2}) {
    FakeSpeechLibrary library;
    Collector collector;
    auto [sender, pieces] = make_channel<Piece>(4);
    Piece piece = fake_piece(0, 0.0);
    const float* samples = piece.samples.data();
    sender.send(std::move(piece));
    sender.release();
    ASSERT_TRUE(decode_pieces(library.recognizer(workers, 1), pieces, collector.deliver()));
    EXPECT_EQ(library.samples_given(0), samples);
  }
}

TEST(DecodePieces, APieceWithoutSpeechIsDeliveredWithItsEndAndNoWords) {
  for (std::uint64_t workers : {1, 2}) {
    FakeSpeechLibrary library;
    library.set_result(0, R"({"lang": "", "emotion": "", "event": "", "text": "", )"
                          R"("timestamps": [], "durations": [], "tokens":[], )"
                          R"("ys_log_probs": [], "words": []})");
    library.set_no_result(1);
    Collector collector;
    PieceReceiver pieces = queued_pieces(3);
    ASSERT_TRUE(decode_pieces(library.recognizer(workers, 1), pieces, collector.deliver()));
    ASSERT_EQ(collector.deliveries.size(), 3u);
    EXPECT_EQ(collector.deliveries[0].end, 1.0);
    EXPECT_TRUE(collector.deliveries[0].words.empty());
    EXPECT_EQ(collector.deliveries[1].end, 2.0);
    EXPECT_TRUE(collector.deliveries[1].words.empty());
    expect_words(collector.deliveries[2].words, {fake_word(2, 2.0)});
  }
}

TEST(DecodePieces, WorkersDeliverInQueueOrderWhenALaterPieceFinishesFirst) {
  FakeSpeechLibrary library;
  // Piece 0's decode waits until piece 1's result has been read: piece 1 finishes first.
  library.hold_until_read(0, 1);
  Collector collector;
  PieceReceiver pieces = queued_pieces(2);
  ASSERT_TRUE(decode_pieces(library.recognizer(2, 1), pieces, collector.deliver()));
  EXPECT_EQ(library.results_read(), (std::vector<int>{1, 0}));
  ASSERT_EQ(collector.deliveries.size(), 2u);
  EXPECT_EQ(collector.deliveries[0].end, 1.0);
  expect_words(collector.deliveries[0].words, {fake_word(0, 0.0)});
  EXPECT_EQ(collector.deliveries[1].end, 2.0);
  expect_words(collector.deliveries[1].words, {fake_word(1, 1.0)});
}

TEST(DecodePieces, WorkersDeliverEveryPieceOnceInOrder) {
  FakeSpeechLibrary library;
  // The first piece is held until the last has been read, so results arrive out of order.
  constexpr int COUNT = 40;
  library.hold_until_read(0, COUNT - 1);
  Collector collector;
  PieceReceiver pieces = queued_pieces(COUNT);
  ASSERT_TRUE(decode_pieces(library.recognizer(4, 1), pieces, collector.deliver()));
  ASSERT_EQ(collector.deliveries.size(), static_cast<std::size_t>(COUNT));
  for (int i = 0; i < COUNT; ++i) {
    EXPECT_EQ(collector.deliveries[i].end, i + 1.0);
    expect_words(collector.deliveries[i].words, {fake_word(i, i)});
  }
  for (const auto& call : library.decode_calls()) EXPECT_EQ(call.size(), 1u);  // no batches
  EXPECT_EQ(library.streams_alive(), 0);
  EXPECT_EQ(library.texts_alive(), 0);
}

TEST(DecodePieces, SingleThreadStopsAtOnceWhenDeliveryFails) {
  FakeSpeechLibrary library;
  Collector collector;
  collector.fail_at = 0;
  PieceReceiver pieces = queued_pieces(5);
  Status result = decode_pieces(library.recognizer(1, 2), pieces, collector.deliver());
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().message(), "record not written");
  EXPECT_EQ(collector.deliveries.size(), 1u);
  EXPECT_EQ(library.decode_calls(), (std::vector<std::vector<int>>{{0, 1}}));
  EXPECT_EQ(library.streams_alive(), 0);
  // The rest stays in the queue, undecoded.
  int left = 0;
  while (pieces.try_receive()) ++left;
  EXPECT_EQ(left, 3);
}

TEST(DecodePieces, WorkersStopWhenDeliveryFails) {
  FakeSpeechLibrary library;
  // One thread takes piece 0 and, once the other has begun piece 1, finishes it; its delivery
  // fails. The thread with piece 1 is held until the first has ended, which that one does only
  // once the stage has stopped (or the queue is empty): it then finishes piece 1 and must take
  // no other.
  library.hold_until_threads_decode(0, 2);
  library.hold_until_a_thread_ends(1);
  constexpr int COUNT = 500;
  PieceReceiver pieces = queued_pieces(COUNT, 80);
  int delivered = 0;
  DeliverWords deliver = [&](double, std::vector<Word>) -> Status {
    ++delivered;
    return fail("record not written");
  };
  Status result = decode_pieces(library.recognizer(2, 1), pieces, deliver);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().message(), "record not written");
  EXPECT_EQ(delivered, 1);

  // Both decode threads have ended and nothing is left running or open in the library.
  EXPECT_EQ(library.threads_ended(), 2);
  EXPECT_EQ(library.calls_in_progress(), 0);
  EXPECT_EQ(library.streams_alive(), 0);
  EXPECT_EQ(library.texts_alive(), 0);

  const auto calls = library.decode_calls();
  const auto threads = library.decode_threads();
  const auto held = std::find(calls.begin(), calls.end(), std::vector<int>{1});
  ASSERT_NE(held, calls.end());
  const std::thread::id held_thread = threads[held - calls.begin()];
  EXPECT_EQ(std::count(threads.begin() + (held - calls.begin()), threads.end(), held_thread), 1);
  // What was not taken stays in the queue.
  int left = 0;
  while (pieces.try_receive()) ++left;
  EXPECT_EQ(left + static_cast<int>(calls.size()), COUNT);
}

TEST(DecodePieces, WorkersWaitingForPiecesEndAtOnceWhenDeliveryFails) {
  // The decoder has stalled: the queue stays open and empty after the first piece. Once
  // delivery fails, the stage must not wait for the audio thread to give up its end.
  FakeSpeechLibrary library;
  auto [sender, pieces] = make_channel<Piece>(4);
  sender.send(fake_piece(0, 0.0));
  DeliverWords deliver = [](double, std::vector<Word>) -> Status {
    return fail("record not written");
  };
  std::future<Status> result = std::async(
      std::launch::async, [&] { return decode_pieces(library.recognizer(3, 1), pieces, deliver); });
  const bool returned = result.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  sender.release();  // lets a stage that still waits return, so the test can end
  EXPECT_TRUE(returned) << "the stage waited for the queue to close";
  const Status status = result.get();
  ASSERT_FALSE(status);
  EXPECT_EQ(status.error().message(), "record not written");
  EXPECT_EQ(library.streams_created(), 1);
  EXPECT_EQ(library.streams_alive(), 0);
}

// Two files: pieces 0 and 1, then piece 2 whose audio failed. Each piece is delivered by
// itself with its file, each end after its file's pieces, also when one call decoded pieces of
// both files.
TEST(DecodeFilePieces, MarkersPassInQueueOrderAndPiecesKeepTheirFiles) {
  for (std::uint64_t workers : {1, 3}) {
    FakeSpeechLibrary library;
    auto [sender, items] = make_channel<FileItem>(8);
    sender.send(FileItem{0, fake_piece(0, 0.0), {}});
    sender.send(FileItem{0, fake_piece(1, 1.0), {}});
    sender.send(FileItem{0, std::nullopt, {}});
    sender.send(FileItem{1, fake_piece(2, 0.0), {}});
    sender.send(FileItem{1, std::nullopt, fail("ffmpeg failed")});
    sender.release();
    std::vector<std::string> seen;
    FileDelivery deliver{
        [&](std::uint64_t file, double end, std::vector<Word> words) -> Status {
          seen.push_back(std::to_string(file) + " " + std::to_string(end) + " " + words.at(0).text);
          return {};
        },
        [&](std::uint64_t file, Status audio) -> Status {
          seen.push_back(std::to_string(file) + (audio ? " done" : " " + audio.error().chain()));
          return {};
        }};
    ASSERT_TRUE(decode_file_pieces(library.recognizer(workers, 4), items, deliver));
    EXPECT_EQ(seen, (std::vector<std::string>{"0 1.000000 p0", "0 2.000000 p1", "0 done",
                                              "1 1.000000 p2", "1 ffmpeg failed"}));
    if (workers == 1) {
      EXPECT_EQ(library.decode_calls(), (std::vector<std::vector<int>>{{0, 1, 2}}));
    }
    EXPECT_EQ(library.streams_alive(), 0);
  }
}

}  // namespace
}  // namespace tw
