#pragma once
// How many decode threads and inference threads a run uses.

#include <cstdint>

#include "core/asr/recognizer.h"
#include "core/audio/piece_queue.h"

namespace tw {

// cuda: one decoder with two inference threads. cpu: from the logical processor count (0 taken
// as 4), leaving two processors out; at least 10 give several decoders of 4 threads, at most 6.
DecodePlan plan_decoding(bool use_cuda, unsigned logical_processors, std::uint64_t batch);

// Many files: the pieces of one file and of the next are recognized side by side, so the
// processors go to decode threads of their own rather than to one decode's inference threads:
// every processor but one (left to the decoders), at least 2 threads and at most 6, with the
// processors left over as inference threads. cuda and a batch above 1 keep plan_decoding's one
// decoder, which is what batches are for.
DecodePlan plan_many_files_decoding(bool use_cuda, unsigned logical_processors,
                                    std::uint64_t batch);

// Capacity of the piece queue: 2 x workers x effective batch, at most MAX_QUEUED_PIECES (also
// when the product does not fit 64 bits), which bounds the memory of waiting samples.
std::uint64_t piece_queue_capacity(std::uint64_t workers, std::uint64_t effective_batch);

}  // namespace tw
