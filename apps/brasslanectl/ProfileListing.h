#pragma once

// A profile file as readable text: the assignments of each profile, then the macros with their
// steps. Names of keys are those of KeyNames.h; names of keyboard functions come from the
// language file.

#include "ProfileJson.h"

#include <string>

namespace brasslane {
class Language;
}

namespace brasslane::cli {

std::string ProfileListingText(const ProfileDocument& document, Language& language);

} // namespace brasslane::cli
