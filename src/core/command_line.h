// The option scanner of a program's own command line. Short options come
// in clusters after "-" ("-IM", "-Dvalue"); long ones after "--" or "/"
// with "=" or ":" before a value ("--D=value", "/D:value"). "--" or "/"
// alone ends the options: every later argument is an operand.
#ifndef VY_CORE_COMMAND_LINE_H
#define VY_CORE_COMMAND_LINE_H

#include <cstdint>

enum : int32_t {
    option_no_value = 0,
    option_value = 1,           // required
    option_optional_value = 2,  // only when given in the same argument
};

// One entry of an option table; the table ends with a null name.
struct option_entry {
    const char* name;
    int32_t kind;
};

// The scanner's state, owned by the caller.
struct argument_scanner {
    int32_t count = 0;                 // argc
    const char* const* args = nullptr;  // argv, element 0 the program
    const option_entry* options = nullptr;
    int32_t next = 0;              // 0: not started
    const char* cluster = nullptr;  // inside a cluster of short options
    bool operands_only = false;
};

// Answer of parse_arguments once every argument has been read.
constexpr int32_t arguments_end = 0x1FFFF;

// The next option or operand:
//  - an option: its table position + 1, its value (or null) in value;
//  - an operand: 0, its text in value;
//  - arguments_end when all are read (value null);
//  - minus the argument's index for an unknown option, a missing value or
//    a value given to an option without one; the scanner then stays at
//    that argument.
// Values point into the argument texts.
int32_t parse_arguments(argument_scanner& scanner, const char*& value);

#endif
