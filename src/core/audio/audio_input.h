#pragma once
// The audio thread: runs the decoder over the media file, turns its output into pieces and
// sends them, in file order, to the decode stage.

#include <functional>
#include <optional>
#include <string>

#include "core/audio/piece_queue.h"
#include "core/error.h"

namespace tw {

// The body of the audio thread. Decodes `audio` (a relative path is taken from the worker's
// current directory) from `start` (seconds) to `end` (up to the end of the file when absent)
// with the decoder at `ffmpeg` and sends every piece to `pieces`; releases `pieces` when it
// returns. Fails with "start ffmpeg" (caused by the OS error) when the decoder cannot be
// started, "transcription stopped" when the receivers are gone, "ffmpeg failed: " and the
// decoder's error output when it exits with a code other than 0, or the OS error of a failed
// read or wait. No piece is sent after a failure. A decoder that has exited while something it
// started still holds its pipes is done once DECODER_EXIT_GRACE has passed: its tree is ended
// and the output read until then is the whole output.
Status run_audio_input(double start, std::optional<double> end, std::string ffmpeg,
                       std::string audio, PieceSender pieces);

// Hands one piece on; false when nobody takes pieces any more.
using SendPiece = std::function<bool(Piece&& piece)>;

// As run_audio_input, with every piece handed to `send` and nothing released at the end: the
// audio of one file among several that share one queue.
Status decode_audio(double start, std::optional<double> end, const std::string& ffmpeg,
                    const std::string& audio, const SendPiece& send);

}  // namespace tw
