// trayhost: starts the SDK's Java device manager with the right Java runtime and relays its
// output. Everything on the command line is handed on to the device manager.
#include <string>
#include <vector>

#include "launcher.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return launcher::RunLauncher(arguments);
}
