#pragma once

#include <cstdint>

#include "netconfig/paths.h"

namespace nubora {

// One whole configuration pass, from opening the log to the post script,
// framed by a start and an end time in the log. Always 0.
std::int32_t RunConfiguration();

}  // namespace nubora
