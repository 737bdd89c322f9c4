#pragma once
// Ending decoder process trees. Nothing here reports an error: a tree that cannot be ended is
// left as it is.

#include <cstdint>
#include <span>

namespace tw {

class ChildProcess;

// Ends the processes with these ids and everything they started. Windows: the job object of
// each id started by this worker; for any other id, one run of taskkill.exe /T /F with a /PID
// per id from the system directory, waited for at most a few seconds. POSIX: SIGKILL to the
// process group of each id started by this worker. An empty list does nothing.
void kill_process_trees(std::span<const std::uint32_t> ids);

// After a failure: ends the decoder's tree, forces the decoder itself to end and waits for it.
// All results are ignored; a later wait() gives the exit code at once.
void terminate_decoder(std::uint32_t id, ChildProcess& process);

}  // namespace tw
