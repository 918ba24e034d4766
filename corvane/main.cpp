// corvane: converts Quake models, sprites, pictures and pack members.
#include <clocale>

#include "console.h"
#include "driver.h"
#include "modes.h"
#include "options.h"
#include "state.h"

int main(int argc, char** argv) {
  ConsoleStart();
  std::setlocale(LC_CTYPE, "");
  gArguments.assign(argv, argv + argc);
  CreateOptionTable();
  int result = FinishRun(RunConverter());
  // A log that could not be written is a failed run, as for any other output.
  if (!ConsoleFinish()) result = 1;
  return result;
}
