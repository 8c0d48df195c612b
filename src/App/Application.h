#pragma once

namespace Application {
// Sets up the application object, the dark appearance and the first window; runs the event loop.
int run(int argc, char** argv);
}
