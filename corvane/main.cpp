// corvane: converts Quake models, sprites, pictures and pack members.
#include <string>
#include <vector>

#include "driver.h"

int main(int argc, char** argv) { return RunProgram(std::vector<std::string>(argv, argv + argc)); }
