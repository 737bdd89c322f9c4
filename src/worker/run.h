#pragma once
// The run driver: the worker's whole run, from the command line to the last record.

#include <span>
#include <string>

#include "core/error.h"

namespace tw {

Status run(std::span<const std::string> arguments);

}  // namespace tw
