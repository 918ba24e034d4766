// The command line: a table of options, the parser that walks the arguments
// against it, the usage screen built from it, and the 22 options of the program.
#ifndef CORVANE_OPTIONS_H
#define CORVANE_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

#include "state.h"

// An option with parameters receives the run's options and its parameters in order
// (missing ones are empty).
using OptionHandler = void (*)(RunOptions& options, std::vector<std::string>& params);

struct OptionEntry {
  std::string name;                 // lower case, no surrounding blanks; empty for a positional entry
  std::string description;          // parameter text, or a flag's description; empty in an unused slot
  OptionHandler handler = nullptr;  // the function of an option with parameters
  bool flag = false;                // a flag option: sets bit `value` in the run's flags
  int32_t value = 0;                // parameter count, or the bit a flag sets
  uint8_t seen = 0;                 // a flag already applied in this run
};

// The options of one run, in registration order.
using OptionTable = std::vector<OptionEntry>;

// A table with the one unused slot that registration starts from.
OptionTable NewOptionTable();
// Registers an option: `kind` non-zero takes `handler` and `value` parameters,
// zero is a flag that sets bit `value` in the run's flags. The entry's name is
// `name` lowered and trimmed, its description `description` trimmed.
void AddOption(OptionTable& table, int32_t kind, const std::string& name, OptionHandler handler, int32_t value,
               const std::string& description);
// Applies options.arguments (argument 0 is the program) to the table: 0 when every
// argument was understood, 1 otherwise; 1 also after the usage screen, which a
// command line without arguments shows.
int ParseCommandLine(RunOptions& options, OptionTable& table);
// The usage screen, then a wait for a key press.
void ShowSyntax(const OptionTable& table);
// The usage screen alone.
void WriteSyntax(const OptionTable& table);

// What the command line asks for besides a conversion.
enum class CommandRequest { Run, Help, Version };
// The first of --help, -h, -? (Help) or --version (Version) in `arguments`, in
// an option's place (the parameter of an option is not one), matched as option
// names are; Run when there is none.
CommandRequest FindCommandRequest(const OptionTable& table, const std::vector<std::string>& arguments);

// The program's 22 options, in their usage-screen order.
OptionTable ProgramOptions();

// Splits "PAK::FILE" into its pack and file parts and forces their extensions
// (`packExtList` for the pack, `extList` for the file); two separators empty `source`.
void SplitPackedName(std::string& source, std::string& packOut, std::string& fileOut, const std::string& extList,
                     const std::string& packExtList = ".pak");

// Reading numbers the way the options do: blanks skipped, reading stops at the
// first character that cannot continue the number, no number gives 0.
double ReadDecimal(const std::string& text);
// As ReadDecimal for integers; values beyond 32 bits saturate.
int32_t ReadInteger(const std::string& text);

#endif
