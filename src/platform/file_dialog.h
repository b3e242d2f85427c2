// The chart file-open dialog, run as a child process (zenity, else kdialog).
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace plat {

// Shows the dialog starting at folder/file and waits for it; `idle` runs a few times a second
// while waiting (to keep the window system answered). Empty when cancelled, failed or absent.
std::optional<std::string> RunFileDialog(const std::string& folder, const std::string& file,
                                         const std::function<void()>& idle);

}  // namespace plat
