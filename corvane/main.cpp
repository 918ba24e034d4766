// Placeholder entry point until the driver lands.
#include "modes.h"
int main() { return RunConverter(); }
