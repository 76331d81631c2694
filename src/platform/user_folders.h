#pragma once
#include <filesystem>

namespace veltrane {

// The user's home folder: $HOME, or the account's home when HOME is unset.
std::filesystem::path home_folder();

// The folder for the program's own files of this user that are data, not settings:
// $XDG_DATA_HOME/Veltrane, by default ~/.local/share/Veltrane. Nothing is created.
std::filesystem::path user_data_folder();

}  // namespace veltrane
