#pragma once
// The application: start-up in order, then the form, then the end of the process.

namespace vantrell::qt {

class CScanApp {
public:
    // Returns the process's exit status. A second copy returns 0 at once, showing no window:
    // one line on stderr says another copy runs.
    int Run(int argc, char** argv);
};

} // namespace vantrell::qt
