#include "fake_speech_library.h"

#include <algorithm>
#include <cstring>

#include "core/platform/fail_fast.h"

namespace tw::testing {
namespace {

FakeSpeechLibrary* active_library = nullptr;
int library_generation = 0;  // tells a library from a later one at the same address

// Stands for the recognizer handle; the fake never looks behind it.
const char fake_recognizer = 0;

std::string default_result(int piece) {
  return R"({"lang": "", "emotion": "", "event": "", "text": "p)" + std::to_string(piece) +
         R"(", "timestamps": [0.50], "durations": [], "tokens":[" p)" + std::to_string(piece) +
         R"("], "ys_log_probs": [-0.000001], "words": []})";
}

}  // namespace

Piece fake_piece(int id, double start, std::size_t samples) {
  return Piece{std::vector<float>(samples, static_cast<float>(id)), start};
}

FakeSpeechLibrary::FakeSpeechLibrary() {
  if (active_library != nullptr) fail_fast("two fake speech libraries at once");
  active_library = this;
  ++library_generation;
}

FakeSpeechLibrary::~FakeSpeechLibrary() { active_library = nullptr; }

FakeSpeechLibrary& FakeSpeechLibrary::active() {
  if (active_library == nullptr) fail_fast("no fake speech library");
  return *active_library;
}

const SpeechCalls& FakeSpeechLibrary::calls() {
  static const SpeechCalls table{
      .create_stream = [](RecognizerHandle) { return active().create_stream(); },
      .accept_waveform =
          [](StreamHandle stream, std::int32_t rate, const float* samples, std::int32_t count) {
            if (rate != SAMPLE_RATE) fail_fast("fake library: wrong sample rate");
            active().accept_waveform(stream, samples, count);
          },
      .decode_stream = [](RecognizerHandle, StreamHandle stream) { active().decode({stream}); },
      .decode_streams =
          [](RecognizerHandle, StreamHandle* streams, std::int32_t count) {
            if (count < 1) fail_fast("fake library: decoding no streams");
            active().decode(std::vector<StreamHandle>(streams, streams + count));
          },
      .result_json = [](StreamHandle stream) { return active().result_json(stream); },
      .release_result_json = [](const char* json) { active().release_result_json(json); },
      .destroy_stream = [](StreamHandle stream) { active().destroy_stream(stream); },
      .destroy_recognizer =
          [](RecognizerHandle) {
            std::lock_guard guard(active().lock_);
            ++active().recognizers_destroyed_;
          },
  };
  return table;
}

Recognizer FakeSpeechLibrary::recognizer(std::uint64_t workers, std::uint64_t batch) {
  return Recognizer(reinterpret_cast<RecognizerHandle>(&fake_recognizer), workers, batch, calls());
}

void FakeSpeechLibrary::set_result(int piece, std::string json) {
  std::lock_guard guard(lock_);
  results_[piece] = std::move(json);
}

void FakeSpeechLibrary::set_no_result(int piece) {
  std::lock_guard guard(lock_);
  results_[piece] = std::nullopt;
}

void FakeSpeechLibrary::hold_until_read(int held, int first) {
  std::lock_guard guard(lock_);
  hold_until_read_[held] = first;
}

void FakeSpeechLibrary::hold_until_a_thread_ends(int held) {
  std::lock_guard guard(lock_);
  hold_until_a_thread_ends_.insert(held);
}

void FakeSpeechLibrary::hold_until_threads_decode(int held, int threads) {
  std::lock_guard guard(lock_);
  hold_until_threads_decode_[held] = threads;
}

// Tells the library when a thread that decoded with it ends (its thread-local objects are
// destroyed before the thread counts as ended for join()).
void FakeSpeechLibrary::note_decoding_thread() {
  struct Mark {
    FakeSpeechLibrary* library = nullptr;
    int generation = 0;
    ~Mark() {
      if (library != nullptr && active_library == library && library_generation == generation) {
        library->thread_ended();
      }
    }
  };
  thread_local Mark mark;
  mark.library = this;
  mark.generation = library_generation;
}

void FakeSpeechLibrary::thread_ended() {
  {
    std::lock_guard guard(lock_);
    ++threads_ended_;
  }
  changed_.notify_all();
}

void FakeSpeechLibrary::wait_until_allowed(std::unique_lock<std::mutex>& lock, int piece) {
  changed_.wait(lock, [&] {
    auto held = hold_until_read_.find(piece);
    if (held != hold_until_read_.end() && std::find(results_read_.begin(), results_read_.end(),
                                                    held->second) == results_read_.end()) {
      return false;
    }
    auto threads = hold_until_threads_decode_.find(piece);
    if (threads != hold_until_threads_decode_.end() &&
        static_cast<int>(decoding_threads_.size()) < threads->second) {
      return false;
    }
    return !hold_until_a_thread_ends_.contains(piece) || threads_ended_ > 0;
  });
}

StreamHandle FakeSpeechLibrary::create_stream() {
  auto* stream = new Stream;
  std::lock_guard guard(lock_);
  streams_.insert(stream);
  ++streams_created_;
  return reinterpret_cast<StreamHandle>(stream);
}

void FakeSpeechLibrary::accept_waveform(StreamHandle handle, const float* samples,
                                        std::int32_t count) {
  auto* stream = reinterpret_cast<Stream*>(const_cast<SherpaOnnxOfflineStream*>(handle));
  std::lock_guard guard(lock_);
  if (!streams_.contains(stream) || count < 1) fail_fast("fake library: bad waveform");
  stream->piece = static_cast<int>(samples[0]);
  samples_given_[stream->piece] = samples;
}

void FakeSpeechLibrary::decode(std::vector<StreamHandle> handles) {
  note_decoding_thread();
  std::unique_lock guard(lock_);
  decoding_threads_.insert(std::this_thread::get_id());
  changed_.notify_all();
  ++calls_in_progress_;
  std::vector<int> pieces;
  for (StreamHandle handle : handles) {
    auto* stream = reinterpret_cast<Stream*>(const_cast<SherpaOnnxOfflineStream*>(handle));
    if (!streams_.contains(stream) || stream->piece < 0) fail_fast("fake library: bad stream");
    pieces.push_back(stream->piece);
  }
  for (int piece : pieces) wait_until_allowed(guard, piece);
  for (StreamHandle handle : handles) {
    reinterpret_cast<Stream*>(const_cast<SherpaOnnxOfflineStream*>(handle))->decoded = true;
  }
  decode_calls_.push_back(pieces);
  decode_threads_.push_back(std::this_thread::get_id());
  --calls_in_progress_;
}

const char* FakeSpeechLibrary::result_json(StreamHandle handle) {
  auto* stream = reinterpret_cast<Stream*>(const_cast<SherpaOnnxOfflineStream*>(handle));
  std::optional<std::string> text;
  {
    std::lock_guard guard(lock_);
    if (!streams_.contains(stream) || !stream->decoded) fail_fast("fake library: not decoded");
    results_read_.push_back(stream->piece);
    auto scripted = results_.find(stream->piece);
    text = scripted != results_.end() ? scripted->second : default_result(stream->piece);
    if (text) {
      char* copy = new char[text->size() + 1];
      std::memcpy(copy, text->c_str(), text->size() + 1);
      texts_.insert(copy);
      changed_.notify_all();
      return copy;
    }
  }
  changed_.notify_all();
  return nullptr;
}

void FakeSpeechLibrary::release_result_json(const char* json) {
  std::lock_guard guard(lock_);
  if (texts_.erase(json) != 1) fail_fast("fake library: text released twice or never given");
  delete[] json;
}

void FakeSpeechLibrary::destroy_stream(StreamHandle handle) {
  auto* stream = reinterpret_cast<Stream*>(const_cast<SherpaOnnxOfflineStream*>(handle));
  std::lock_guard guard(lock_);
  if (streams_.erase(stream) != 1) fail_fast("fake library: stream destroyed twice");
  delete stream;
}

std::vector<std::vector<int>> FakeSpeechLibrary::decode_calls() const {
  std::lock_guard guard(lock_);
  return decode_calls_;
}

std::vector<std::thread::id> FakeSpeechLibrary::decode_threads() const {
  std::lock_guard guard(lock_);
  return decode_threads_;
}

int FakeSpeechLibrary::threads_ended() const {
  std::lock_guard guard(lock_);
  return threads_ended_;
}

std::vector<int> FakeSpeechLibrary::results_read() const {
  std::lock_guard guard(lock_);
  return results_read_;
}

const float* FakeSpeechLibrary::samples_given(int piece) const {
  std::lock_guard guard(lock_);
  auto found = samples_given_.find(piece);
  return found == samples_given_.end() ? nullptr : found->second;
}

int FakeSpeechLibrary::streams_created() const {
  std::lock_guard guard(lock_);
  return streams_created_;
}

int FakeSpeechLibrary::streams_alive() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(streams_.size());
}

int FakeSpeechLibrary::texts_alive() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(texts_.size());
}

int FakeSpeechLibrary::calls_in_progress() const {
  std::lock_guard guard(lock_);
  return calls_in_progress_;
}

int FakeSpeechLibrary::recognizers_destroyed() const {
  std::lock_guard guard(lock_);
  return recognizers_destroyed_;
}

}  // namespace tw::testing
