#pragma once

// brasslanectl's key and macro commands. Each reads the keyboard's three key maps and its macro
// area, changes the one thing through the key assignment dialog's own models (KeyDialogModel,
// MacroEditor: the same entry rules, limits, clamps and messages), and writes the result back
// with the write sequence. `profile` is 1..3; without it the keyboard's active profile is meant.

#include "Session.h"

#include <optional>
#include <string>
#include <vector>

namespace brasslane::cli {

// Every key of the keyboard picture and G1..G9 with its assignment, in the words `key set`
// takes ("A → B", "F1 → macro:2 \"Hello\" (repeat 1)").
ExitCode KeyShow(Session& session, std::optional<int> profile);
// ACTION: a key name, mouse:left|right|middle, wheel:up|down, media:NAME|N, function:N,
// macro:NAME|ID, default or disable.
ExitCode KeySet(Session& session, std::optional<int> profile, const std::string& key, const std::string& action);
// Without keys: every key of the picture and G1..G9 (as the desktop app's reset does); with
// keys: those keys.
ExitCode KeyReset(Session& session, std::optional<int> profile, const std::vector<std::string>& keys);

ExitCode MacroList(Session& session);
ExitCode MacroShow(Session& session, const std::string& macro);
// `steps` is a file name, or "-" for standard input. `repeat`: 1..255 (0 or less is 1, more is 255).
ExitCode MacroAdd(Session& session, const std::string& name, const std::string& steps,
                  const std::optional<std::string>& repeat);
// Keys that played the macro fall back to their default function, in every profile.
ExitCode MacroRemove(Session& session, const std::string& macro);
ExitCode MacroRename(Session& session, const std::string& macro, const std::string& name);

} // namespace brasslane::cli
