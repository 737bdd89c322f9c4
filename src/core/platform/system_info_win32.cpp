#include <windows.h>

#include "core/platform/system_info.h"

namespace tw {

unsigned logical_processor_count() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors;
}

}  // namespace tw
