#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Value of one environment variable; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;
std::optional<std::string> processEnvironment(const std::string& name);

// Where the program keeps its files. The paths are absolute.
struct AppPaths {
    std::filesystem::path dataDir;   // the book databases, pick lists and report definitions
    std::filesystem::path configDir; // the settings file SHVBOOK.INI
    // The safety copies taken at close; empty (as in tests that build the
    // window directly) keeps none.
    std::filesystem::path stateDir;
};

// Directories given on the command line; an empty path means "not given".
struct PathOverrides {
    std::filesystem::path dataDir;
    std::filesystem::path configDir;
};

// Data directory: the override, else $SHELVANO_HOME, else $XDG_DATA_HOME/shelvano,
// else $HOME/.local/share/shelvano. Settings directory: the override, else
// $SHELVANO_CONFIG, else $XDG_CONFIG_HOME/shelvano, else $HOME/.config/shelvano.
// State directory: $SHELVANO_STATE, else $XDG_STATE_HOME/shelvano, else
// $HOME/.local/state/shelvano, else none.
// Empty variables count as unset and relative XDG variables are ignored, as the XDG
// rules ask. Relative overrides are taken from the current directory. Creates nothing.
// Throws std::runtime_error when a directory cannot be worked out (no usable HOME).
AppPaths resolveAppPaths(const PathOverrides& overrides, const EnvironmentLookup& env = processEnvironment);

// Creates `dir` and its missing parents. Throws std::runtime_error naming the
// directory and the system's reason when it cannot, or when `dir` is not a directory.
void ensureDirectory(const std::filesystem::path& dir);

// The entry of `dir` whose file name equals `name` with ASCII case ignored, as
// files copied from other systems arrive in any case. An exact match wins; among
// others the first in byte order. Empty when there is none or `dir` cannot be read.
std::filesystem::path findFileIgnoringCase(const std::filesystem::path& dir, std::string_view name);

} // namespace platform
