#include "worker/run.h"

#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include "core/asr/decode_pieces.h"
#include "core/asr/decode_sizing.h"
#include "core/asr/onnx_runtime_origin.h"
#include "core/asr/recognizer.h"
#include "core/audio/audio_input.h"
#include "core/audio/piece_queue.h"
#include "core/platform/system_info.h"
#include "core/program_version.h"
#include "worker/command_line.h"
#include "worker/records.h"
#include "worker/stdin_watch.h"

namespace tw {
namespace {

// The audio thread's result slot. The thread fills it as its last act; shared, so a detached
// thread never writes into a slot that is gone.
struct AudioResult {
  std::optional<Status> status;
};

DecodePlan size_decoding(const RunOptions& options) {
  if (options.provider == Provider::cuda) return plan_decoding(true, 0, options.batch);
  return plan_decoding(false, logical_processor_count(), options.batch);
}

}  // namespace

Status run(std::span<const std::string> arguments) {
  Result<RunOptions> parsed = parse_command_line(arguments);
  if (!parsed) return fail(std::move(parsed.error()));
  const RunOptions& options = *parsed;
  if (options.show_version) return print_version("transcribe-worker");

  if (options.exit_on_stdin_close) start_stdin_watch();

  if (Status origin = check_library_origins(); !origin) return origin;
  const DecodePlan plan = size_decoding(options);

  Result<Recognizer> recognizer =
      create_recognizer(options.model, options.provider == Provider::cuda, plan);
  if (!recognizer) return fail(std::move(recognizer.error()));

  if (Status ready = write_ready_record(); !ready) return ready;

  auto [sender, receiver] =
      make_channel<Piece>(piece_queue_capacity(recognizer->workers(), recognizer->batch()));

  auto audio_result = std::make_shared<AudioResult>();
  std::thread audio_thread([audio_result, start = options.start, end = options.end,
                            sender = std::move(sender), ffmpeg = options.ffmpeg,
                            audio = options.audio]() mutable {
    audio_result->status = run_audio_input(start, end, ffmpeg, audio, std::move(sender));
  });

  Status decoded = decode_pieces(*recognizer, receiver, write_words_record);

  // Ending: release the receiving end first, so a blocked send fails and the audio thread ends.
  { PieceReceiver released = std::move(receiver); }
  Status result;
  if (decoded) {
    audio_thread.join();
    if (!audio_result->status) {
      result = fail("decoding the audio crashed");
    } else {
      result = std::move(*audio_result->status);
    }
  } else {
    audio_thread.detach();
    result = std::move(decoded);
  }
  // The recognizer is destroyed here, once, when `recognizer` goes out of scope.
  return result;
}

}  // namespace tw
