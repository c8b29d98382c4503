// The emulator program: one IDE call per process, run as a session that always ends in CleanUp.
#include "session/driver.h"

int main(int argc, char** argv) { RunSession(argc, argv); }
