// The command line: a table of options, the parser that walks the arguments
// against it, the usage screen built from it, and the 18 options of the program.
#ifndef CORVANE_OPTIONS_H
#define CORVANE_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

// An option with parameters receives them in order (missing ones are empty).
using OptionHandler = void (*)(std::vector<std::string>& params);

struct OptionEntry {
  std::string name;         // lower case, no surrounding blanks; empty for a positional entry
  std::string description;  // parameter text, or a flag's description; empty in an unused slot
  uint32_t* target = nullptr;        // the flag word of a flag option
  OptionHandler handler = nullptr;   // the function of an option with parameters
  int32_t value = 0;        // parameter count, or the bit a flag sets
  uint8_t seen = 0;         // a flag already applied in this run
  uint8_t colour = 0;       // console colour of the usage line, 0 for none
};

// Either a handler or a flag word, whichever the option's kind asks for.
struct OptionTarget {
  OptionTarget(OptionHandler h) : handler(h) {}
  OptionTarget(uint32_t* word) : flagWord(word) {}
  OptionHandler handler = nullptr;
  uint32_t* flagWord = nullptr;
};

// The registered options, in registration order.
extern std::vector<OptionEntry> gOptionTable;

// Empties the table and leaves the one unused slot that registration starts from.
void CreateOptionTable();
// Registers an option: `kind` non-zero takes `target`'s handler and `value`
// parameters, zero takes its flag word and sets bit `value` there. `name` is
// lowered and trimmed in place, `description` trimmed in place.
void AddOption(int32_t kind, std::string& name, const OptionTarget& target, int32_t value,
               std::string& description, uint8_t colour);
// Applies gArguments (argument 0 is the program) to the table: 0 when every
// argument was understood, 1 otherwise; 1 also after the usage screen, which a
// command line without arguments shows.
int ParseCommandLine();
// The usage screen, then a wait for a key press.
void ShowSyntax();
// The usage screen alone.
void WriteSyntax();

// What the command line asks for besides a conversion.
enum class CommandRequest { Run, Help, Version };
// The first of --help, -h, -? (Help) or --version (Version) in gArguments, in
// an option's place (the parameter of an option is not one), matched as option
// names are; Run when there is none.
CommandRequest FindCommandRequest();
// Frees every entry and the table itself.
void ClearOptions();

// The program's 18 options, in their usage-screen order.
void RegisterOptions();

// Reading numbers the way the options do: blanks skipped, reading stops at the
// first character that cannot continue the number, no number gives 0.
double ReadDecimal(const std::string& text);
// As ReadDecimal for integers; values beyond 32 bits saturate.
int32_t ReadInteger(const std::string& text);

#endif
