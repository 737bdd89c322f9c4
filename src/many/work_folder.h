#pragma once
// The run's hidden folder inside the output folder, .transcribe-many.HOST.PID.work, where every
// output is made before it is moved into place: no temporary name can be an output's, and a run
// killed outright leaves one folder that names its machine and process. A later run on the same
// machine removes the folders of processes that are gone, never a live run's, nor another
// machine's (an output folder shared by a cluster's nodes).

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/platform/file_lock.h"
#include "core/platform/file_writer.h"

namespace tw::many {

class WorkFolder {
 public:
  // Removes the leftovers of gone runs of this machine in `out` and makes this run's folder;
  // the error is why the output folder cannot be written.
  static Result<std::unique_ptr<WorkFolder>> create(const std::string& out);

  // The path of `file_name` in the folder.
  std::string path_of(std::string_view file_name) const;

  // The folder's lock, held while a file is created in it or moved out of it; an error once
  // the folder is removed, so that nothing is made after the run's clean-up.
  Result<std::unique_lock<std::mutex>> claim();

  // Creates `file_name` in the folder under the lock.
  Result<FileWriter> create_file(std::string_view file_name);

  // Removes the folder with what is in it; waits for a file being created or moved first.
  void remove();

 private:
  explicit WorkFolder(std::string path) : path_(std::move(path)) {}

  const std::string path_;
  std::mutex lock_;
  bool removed_ = false;
};

// The output folder's lock, the file .transcribe-many.lock in `out`, which runs sharing the folder
// take in turn while a file's outputs go into place; the error names the file.
Result<FileLock> lock_output_folder(const std::string& out);

// "HOST.PID" of a work folder's name, the host name with every character but letters, digits,
// '-' and '_' made '_'.
std::string work_folder_name(std::string_view host, std::uint32_t process_id);

}  // namespace tw::many
