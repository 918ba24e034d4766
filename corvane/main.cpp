// corvane: converts Quake models, sprites, pictures and pack members.
#include <clocale>
#include <cstdio>

#include "driver.h"
#include "modes.h"
#include "options.h"
#include "state.h"

int main(int argc, char** argv) {
  std::setlocale(LC_CTYPE, "");
  gArguments.assign(argv, argv + argc);
  CreateOptionTable();
  int result = FinishRun(RunConverter());
  std::fflush(stdout);
  return result;
}
