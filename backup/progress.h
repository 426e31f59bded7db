#pragma once
#include <cstdint>

#include "platform/status.h"

namespace dunmere {

// Receives a running progress number (a percentage) with the user value it was registered with; 0
// goes on, anything else stops the work in hand and becomes its result (2 when the user stopped).
using ProgressCallback = Status (*)(void* user, std::int32_t progress);

}  // namespace dunmere
