#include "many/run.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "core/asr/decode_pieces.h"
#include "core/asr/decode_sizing.h"
#include "core/asr/onnx_runtime_origin.h"
#include "core/asr/recognizer.h"
#include "core/audio/audio_input.h"
#include "core/audio/file_item.h"
#include "core/platform/std_streams.h"
#include "core/platform/stop_requests.h"
#include "core/platform/system_info.h"
#include "core/program_version.h"
#include "core/tools/child_registry.h"
#include "many/command_line.h"
#include "many/file_outputs.h"
#include "many/media_inputs.h"
#include "many/outcomes.h"
#include "many/progress.h"
#include "many/run_tools.h"
#include "many/source_record.h"
#include "many/work_folder.h"

namespace tw::many {
namespace {

// What a stop needs, made before the stop watch starts and never destroyed: a stop may come at
// any moment, on a thread of its own.
struct RunState {
  std::mutex lock;  // held by whoever ends the process
  std::unique_ptr<WorkFolder> work;
  std::unique_ptr<Outcomes> outcomes;
  std::unique_ptr<Progress> progress;
};

RunState& run_state() {
  static RunState* state = new RunState;
  return *state;
}

[[noreturn]] void refuse(const Error& error) {
  write_stderr("transcribe-many: " + error.chain() + "\n");
  exit_process(2);
}

// Ends the run with its summary, or a line when it stops before its files are known; a summary
// that cannot be written fails the run. The caller holds the state's lock.
[[noreturn]] void finish_run(RunState& state, int status) {
  if (state.progress) state.progress->end();
  Status written = write_stdout_whole(state.outcomes ? state.outcomes->summary()
                                                     : "transcribe-many: stopped before any file "
                                                       "started; nothing transcribed\n");
  exit_process(written ? status : 1);
}

// A stop: the files in progress go with the work folder, where nothing is made or moved from
// then on (its lock), so a decoder's failure caused by the stop is no file's failure; then the
// decoders end, and the summary shows those files not finished.
[[noreturn]] void stop_run() {
  RunState& state = run_state();
  std::lock_guard guard(state.lock);
  if (state.work) state.work->remove();
  stop_all_children();
  finish_run(state, 1);
}

bool has_line_break(std::string_view path) { return path.find_first_of("\r\n") != path.npos; }

struct Plan {
  std::vector<MediaFile> todo;
  std::vector<std::optional<std::string>> sources;  // NAME.source of each file to do
  std::size_t total = 0;
  std::size_t already_done = 0;
};

// The files to transcribe and their sources; refuses a file whose name's outputs were made
// from another media file, or would replace files no record names ours.
Result<Plan> plan_files(std::vector<MediaFile> media, const Options& options,
                        const std::string& out, const std::string& model) {
  Plan plan;
  plan.total = media.size();
  const bool subtitles = std::ranges::any_of(
      options.formats, [](const std::string& format) { return format != "jsonl"; });
  const std::string settings = subtitles ? subtitles_line(options.limits) : std::string();
  for (MediaFile& file : media) {
    if (std::optional<std::string> conflict =
            outputs_conflict(out, file.name, file.path, options.formats)) {
      return fail(std::move(*conflict));
    }
    std::optional<std::string> source = describe_source(file.path, model, settings);
    if (source && !has_line_break(file.path) &&
        is_complete(out, file.name, *source, options.formats)) {
      ++plan.already_done;
      remove_stale_error(out, file.name, *source, options.formats);
      continue;
    }
    plan.todo.push_back(std::move(file));
    plan.sources.push_back(std::move(source));
  }
  return plan;
}

// The audio thread: every file's pieces, each file ended by its marker.
void run_audio(const std::vector<MediaFile>& todo, const std::string& ffmpeg,
               FileItemSender items) {
  for (std::uint64_t index = 0; index < todo.size(); ++index) {
    const MediaFile& file = todo[index];
    Status audio = has_line_break(file.path)
                       ? fail("its path has a line break, which NAME.source cannot hold")
                       : check_not_special(file.path);
    if (audio) {
      audio = decode_audio(0.0, std::nullopt, ffmpeg, file.path, [&](Piece&& piece) {
        return items.send(FileItem{index, std::move(piece), {}});
      });
    }
    if (!items.send(FileItem{index, std::nullopt, std::move(audio)})) return;
  }
}

// The decode stage's side: each file's outputs while its pieces arrive.
class OutputStage {
 public:
  OutputStage(const Plan& plan, const OutputSettings& settings, RunState& state)
      : plan_(plan), settings_(settings), state_(state) {}

  Status words(std::uint64_t index, double end, std::vector<Word> words) {
    outputs_of(index).add_words(end, words);
    state_.progress->reached(index, end);
    return {};
  }

  Status end(std::uint64_t index, Status audio) {
    const MediaFile& file = plan_.todo[index];
    if (has_line_break(file.path)) {
      // No output can name it: the reason goes to standard error and the summary only.
      std::string reason = audio.error().chain() + "\n";
      write_stderr("transcribe-many: failed: " + file.path + ": " + reason);
      state_.outcomes->failed(index, std::move(reason));
    } else {
      outputs_of(index).finish(std::move(audio), *state_.outcomes, index);
    }
    in_progress_.erase(index);
    state_.progress->file_done(index);
    return {};
  }

 private:
  FileOutputs& outputs_of(std::uint64_t index) {
    auto found = in_progress_.find(index);
    if (found != in_progress_.end()) return found->second;
    return in_progress_
        .try_emplace(index, *state_.work, settings_, plan_.todo[index], plan_.sources[index])
        .first->second;
  }

  const Plan& plan_;
  const OutputSettings& settings_;
  RunState& state_;
  std::map<std::uint64_t, FileOutputs> in_progress_;
};

DecodePlan size_decoding(const Options& options) {
  if (options.use_cuda) return plan_many_files_decoding(true, 0, options.batch);
  return plan_many_files_decoding(false, logical_processor_count(), options.batch);
}

}  // namespace

void run(std::span<const std::string> arguments) {
  RunState& state = run_state();
  watch_stop_requests(stop_run);  // before any other thread starts

  Result<Options> parsed = parse_command_line(arguments);
  if (!parsed) refuse(parsed.error());
  const Options& options = *parsed;
  if (options.help) {
    (void)write_stdout_whole(USAGE);
    exit_process(0);
  }
  if (options.show_version) exit_process(print_version("transcribe-many") ? 0 : 1);

  Result<std::string> out = normalized_path(options.out);
  if (!out) refuse(out.error());
  Result<std::string> model = model_folder(options.model);
  if (!model) refuse(model.error());
  Result<std::string> decoder = decoder_program(options.ffmpeg);
  if (!decoder) refuse(decoder.error());
  const std::string& ffmpeg = *decoder;
  Result<std::vector<MediaFile>> media = collect_media(options.inputs, *out, options.shard);
  if (!media) refuse(media.error());
  Result<Plan> planned = plan_files(std::move(*media), options, *out, *model);
  if (!planned) refuse(planned.error());
  const Plan& plan = *planned;
  Result<std::unique_ptr<WorkFolder>> work = WorkFolder::create(*out);
  if (!work) refuse(work.error());
  {
    std::lock_guard guard(state.lock);
    state.work = std::move(*work);
    state.outcomes = std::make_unique<Outcomes>(plan.todo, plan.total, plan.already_done);
    state.progress = std::make_unique<Progress>(plan.todo, ffmpeg, options.progress_json);
  }
  (void)write_stdout_whole(state.outcomes->start_line(*out));

  if (!plan.todo.empty()) {
    const DecodePlan decode_plan = size_decoding(options);
    Status loaded = check_library_origins();
    Result<Recognizer> recognizer = loaded
                                        ? create_recognizer(*model, options.use_cuda, decode_plan)
                                        : fail(std::move(loaded.error()));
    if (!recognizer) {
      write_stderr("transcribe-many: " + recognizer.error().chain() + "\n");
      std::lock_guard guard(state.lock);
      state.work->remove();
      finish_run(state, 1);
    }
    state.progress->start();

    auto [sender, receiver] =
        make_channel<FileItem>(piece_queue_capacity(recognizer->workers(), recognizer->batch()));
    std::thread audio_thread([&plan, &ffmpeg, sender = std::move(sender)]() mutable {
      run_audio(plan.todo, ffmpeg, std::move(sender));
    });
    const OutputSettings settings{*out, options.formats, options.limits};
    OutputStage stage(plan, settings, state);
    FileDelivery delivery{
        [&stage](std::uint64_t file, double end, std::vector<Word> words) {
          return stage.words(file, end, std::move(words));
        },
        [&stage](std::uint64_t file, Status audio) { return stage.end(file, std::move(audio)); }};
    (void)decode_file_pieces(*recognizer, receiver, delivery);
    audio_thread.join();
  }

  std::lock_guard guard(state.lock);
  state.work->remove();
  finish_run(state, state.outcomes->all_transcribed() ? 0 : 1);
}

}  // namespace tw::many
