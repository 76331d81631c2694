#pragma once
// The program's own windows as a screen reader finds them: windows, named by their
// title (or their accessible name), not plain widgets.

namespace veltrane {

// Makes the main window, the splash and the notice window known as windows. Runs once,
// however often it is called; each of those windows calls it when it is made.
void know_windows_as_windows();

}  // namespace veltrane
