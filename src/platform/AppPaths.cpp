#include "AppPaths.h"

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

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
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
    std::error_code error;
    if (fs::exists(dir / name, error))
        return dir / name;
    fs::path found;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        fs::path candidate = it->path();
        std::string candidateName = candidate.filename().string();
        if (equalIgnoringAsciiCase(candidateName, name) && (found.empty() || candidate < found))
            found = candidate;
    }
    return found;
}

} // namespace platform
