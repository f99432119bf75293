#include "AppPaths.h"

#include "dbase/FileSystem.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace platform {
namespace fs = std::filesystem;

namespace {

std::optional<std::string> nonEmpty(const EnvironmentLookup& env, const std::string& name)
{
    std::optional<std::string> value = env(name);
    if (value && value->empty())
        return std::nullopt;
    return value;
}

// $XDG_*/shelvano when the variable holds an absolute path, else $HOME/<fallback>/shelvano.
fs::path xdgDirectory(const EnvironmentLookup& env, const std::string& variable, const fs::path& fallback)
{
    if (std::optional<std::string> base = nonEmpty(env, variable); base && fs::path(*base).is_absolute())
        return fs::path(*base) / "shelvano";
    std::optional<std::string> home = nonEmpty(env, "HOME");
    if (!home || !fs::path(*home).is_absolute())
        throw std::runtime_error("Cannot find the home directory: HOME is not set to an absolute path, and " +
                                 variable + " is not set either.");
    return fs::path(*home) / fallback / "shelvano";
}

fs::path chooseDirectory(const fs::path& given, const std::optional<std::string>& own,
                         const std::function<fs::path()>& standard)
{
    if (!given.empty())
        return fs::absolute(given).lexically_normal();
    if (own)
        return fs::absolute(*own).lexically_normal();
    return standard().lexically_normal();
}

} // namespace

std::optional<std::string> processEnvironment(const std::string& name)
{
    if (const char* value = std::getenv(name.c_str()))
        return std::string(value);
    return std::nullopt;
}

AppPaths resolveAppPaths(const PathOverrides& overrides, const EnvironmentLookup& env)
{
    AppPaths paths;
    paths.dataDir = chooseDirectory(overrides.dataDir, nonEmpty(env, "SHELVANO_HOME"), [&] {
        return xdgDirectory(env, "XDG_DATA_HOME", fs::path(".local") / "share");
    });
    paths.configDir = chooseDirectory(overrides.configDir, nonEmpty(env, "SHELVANO_CONFIG"),
                                      [&] { return xdgDirectory(env, "XDG_CONFIG_HOME", ".config"); });
    try {
        paths.stateDir = chooseDirectory({}, nonEmpty(env, "SHELVANO_STATE"), [&] {
            return xdgDirectory(env, "XDG_STATE_HOME", fs::path(".local") / "state");
        });
    } catch (const std::runtime_error&) {
        // Without a home the program still runs; it only keeps no safety copies.
    }
    return paths;
}

void ensureDirectory(const fs::path& dir)
{
    std::error_code error;
    fs::create_directories(dir, error);
    if (error)
        throw std::runtime_error("Cannot create the directory \"" + dir.string() + "\": " + error.message() +
                                 ".");
    if (!fs::is_directory(dir, error))
        throw std::runtime_error("\"" + dir.string() + "\" is not a directory.");
}

fs::path findFileIgnoringCase(const fs::path& dir, std::string_view name)
{
    // One rule for every file the program looks up, the engine's.
    std::string found = dbase::findFileIgnoringCase(dir.string(), std::string(name));
    return found.empty() ? fs::path() : fs::path(found);
}

} // namespace platform
