#pragma once

namespace veltrane {

// The two windows as the program drives them. The main window's contents are the
// OpenFile model; a view mirrors it.
class Windows {
  public:
    virtual ~Windows() = default;
    virtual void show_splash() = 0;
    virtual void unload_splash() = 0;
    virtual void show_main() = 0;
    // Closes the main window (its model is replaced by the caller).
    virtual void unload_main() = 0;
    // Ends the program once the current handler returns.
    virtual void end_program() = 0;
};

}  // namespace veltrane
