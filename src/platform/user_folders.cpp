#include "platform/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace veltrane {

namespace fs = std::filesystem;

fs::path home_folder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    const passwd* pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "/";
}

fs::path user_data_folder() {
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return fs::path(data) / "Veltrane";
    return home_folder() / ".local" / "share" / "Veltrane";
}

}  // namespace veltrane
