#include "core/audio/audio_input.h"

#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "core/audio/decoder_command.h"
#include "core/audio/decoder_exit_watch.h"
#include "core/audio/error_output.h"
#include "core/audio/pcm_converter.h"
#include "core/audio/piece_cutter.h"
#include "core/platform/paths.h"
#include "core/platform/process.h"
#include "core/text/white_space.h"
#include "core/tools/child_registry.h"
#include "core/tools/kill_process_trees.h"

namespace tw {
namespace {

constexpr std::size_t ERROR_READ_CHUNK = 16384;

// Runs on its own thread so that the decoder never stalls on a full error pipe while the audio
// thread waits for its output.
std::string collect_error_output(PipeReader pipe) {
  ErrorOutput output;
  std::vector<std::byte> buffer(ERROR_READ_CHUNK);
  for (;;) {
    // A failed read ends the collection like the end of the output: what came before is kept.
    Result<std::size_t> count = pipe.read(buffer);
    if (!count || *count == 0) break;
    output.append(std::span(buffer).first(*count));
  }
  pipe.close();
  return output.text();
}

// Reads the decoder's output to its end and sends every completed piece. Returns the first
// failure: the OS error of a read, or "transcription stopped" when a piece cannot be sent.
std::optional<Error> stream_pieces(PipeReader& output, PieceCutter& cutter, const SendPiece& send) {
  std::vector<std::byte> chunk(READ_CHUNK);
  PcmConverter converter;
  for (;;) {
    Result<std::size_t> count = output.read(chunk);
    if (!count) return std::move(count.error());
    if (*count == 0) return std::nullopt;
    for (Piece& piece : cutter.push(converter.convert(std::span(chunk).first(*count)))) {
      // The pieces of this read not yet sent are dropped with the vector.
      if (!send(std::move(piece))) return Error("transcription stopped");
    }
  }
}

}  // namespace

Status run_audio_input(double start, std::optional<double> end, std::string ffmpeg,
                       std::string audio, PieceSender pieces) {
  return decode_audio(start, end, ffmpeg, audio,
                      [&pieces](Piece&& piece) { return pieces.send(std::move(piece)); });
}

Status decode_audio(double start, std::optional<double> end, const std::string& ffmpeg,
                    const std::string& audio, const SendPiece& send) {
  PieceCutter cutter(start);
  // The decoder runs in its own directory, where a relative media path would name another file;
  // a long one goes in the form that reaches past MAX_PATH, which ffmpeg 4.1 opens as it is.
  Result<std::string> media = absolute_path(audio);
  if (!media) return fail("start ffmpeg", std::move(media.error()));
  Result<ChildProcess> started =
      start_process(decoder_command(ffmpeg, long_path_form(*media), start, end), Stdio::null_device,
                    Stdio::pipe, Stdio::pipe);
  if (!started) return fail("start ffmpeg", std::move(started.error()));
  std::optional<ChildProcess> decoder(std::move(*started));
  const std::uint32_t id = decoder->id();
  ChildGuard registration = register_child(id);

  std::string error_text;
  std::thread error_reader([&error_text, pipe = decoder->take_error_output()]() mutable {
    error_text = collect_error_output(std::move(pipe));
  });

  PipeReader output = decoder->take_output();
  // A process the decoder left running may hold either pipe: the watch ends it once the decoder
  // has exited, and the reads then end with what was written.
  DecoderExitWatch exit_watch(*decoder, DECODER_EXIT_GRACE);
  std::optional<Error> error = stream_pieces(output, cutter, send);
  if (error) {
    exit_watch.finish();
    terminate_decoder(id, *decoder);
  }
  error_reader.join();
  exit_watch.finish();

  Result<int> exit_code = decoder->wait();
  if (!exit_code) {
    error = std::move(exit_code.error());  // replaces any earlier failure
    end_process_tree(id);
    decoder->terminate();
  }
  if (!error && *exit_code != 0) {
    error = Error("ffmpeg failed: " + std::string(trim_unicode_white_space(error_text)));
  }

  output.close();
  registration.release();
  decoder.reset();

  if (error) return fail(std::move(*error));
  if (std::optional<Piece> last = cutter.finish()) {
    if (!send(std::move(*last))) return fail("transcription stopped");
  }
  return {};
}

}  // namespace tw
