#pragma once
// A scripted stand-in for the speech library's stream calls, for tests of the decode stage.
//
// A piece is known by its samples: every sample of piece k holds the value k. Unless scripted
// otherwise, piece k's result is one token " p<k>" at 0.5 s. Decoding can be held back until
// another piece's result has been read, or until another decode thread has ended, so that tests
// can force an order on the decode threads without waiting on a clock.

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/asr/recognizer.h"
#include "core/audio/piece.h"

namespace tw::testing {

// A piece of `samples` samples, each of value `id`, starting `start` seconds into the file.
Piece fake_piece(int id, double start, std::size_t samples = 16000);

class FakeSpeechLibrary {
 public:
  FakeSpeechLibrary();  // becomes the library behind calls(); one at a time
  ~FakeSpeechLibrary();
  FakeSpeechLibrary(const FakeSpeechLibrary&) = delete;
  FakeSpeechLibrary& operator=(const FakeSpeechLibrary&) = delete;

  static const SpeechCalls& calls();
  Recognizer recognizer(std::uint64_t workers, std::uint64_t batch);

  // ---- Script
  void set_result(int piece, std::string json);  // the text the library gives for the piece
  void set_no_result(int piece);                 // the library gives no text (null)
  // Decoding `held` waits until the result of `first` has been read.
  void hold_until_read(int held, int first);
  // Decoding `held` waits until a thread that decoded something has ended.
  void hold_until_a_thread_ends(int held);
  // Decoding `held` waits until `threads` different threads have begun decoding.
  void hold_until_threads_decode(int held, int threads);

  // ---- What happened
  std::vector<std::vector<int>> decode_calls() const;   // pieces decoded by each decode call
  std::vector<std::thread::id> decode_threads() const;  // the thread of each decode call
  int threads_ended() const;                    // threads that decoded something and have ended
  std::vector<int> results_read() const;        // pieces, in the order results were read
  const float* samples_given(int piece) const;  // the pointer the library was given
  int streams_created() const;
  int streams_alive() const;
  int texts_alive() const;  // result texts not yet released
  int calls_in_progress() const;
  int recognizers_destroyed() const;

 private:
  struct Stream {
    int piece = -1;
    bool decoded = false;
  };

  static FakeSpeechLibrary& active();
  void wait_until_allowed(std::unique_lock<std::mutex>& lock, int piece);
  void note_decoding_thread();
  void thread_ended();

  StreamHandle create_stream();
  void accept_waveform(StreamHandle stream, const float* samples, std::int32_t count);
  void decode(std::vector<StreamHandle> streams);
  const char* result_json(StreamHandle stream);
  void release_result_json(const char* json);
  void destroy_stream(StreamHandle stream);

  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::map<int, std::optional<std::string>> results_;
  std::map<int, int> hold_until_read_;
  std::set<int> hold_until_a_thread_ends_;
  std::map<int, int> hold_until_threads_decode_;
  std::set<std::thread::id> decoding_threads_;

  std::vector<std::vector<int>> decode_calls_;
  std::vector<std::thread::id> decode_threads_;
  int threads_ended_ = 0;
  std::vector<int> results_read_;
  std::map<int, const float*> samples_given_;
  std::set<Stream*> streams_;
  std::set<const char*> texts_;
  int streams_created_ = 0;
  int calls_in_progress_ = 0;
  int recognizers_destroyed_ = 0;
};

}  // namespace tw::testing
