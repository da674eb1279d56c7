#include "platform/StandardStreams.h"

namespace brasslane::platform {

// The streams already carry bytes unchanged.
void PrepareStandardStreams() {}

} // namespace brasslane::platform
