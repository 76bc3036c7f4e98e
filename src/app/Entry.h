#pragma once

namespace qv::app {

// The program: the application, its windows in their order, the message loop. Returns the exit code.
int run(int argc, char** argv);

}  // namespace qv::app
