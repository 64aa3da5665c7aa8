#include "core/command_line.h"

#include <cstring>

namespace {

// Table position of a long name (ends at name_end), or -1.
int32_t find_long(const option_entry* options, const char* name, size_t length) {
    for (int32_t i = 0; options[i].name; ++i)
        if (strlen(options[i].name) == length && strncmp(options[i].name, name, length) == 0)
            return i;
    return -1;
}

int32_t find_short(const option_entry* options, char c) {
    for (int32_t i = 0; options[i].name; ++i)
        if (options[i].name[0] == c && options[i].name[1] == '\0') return i;
    return -1;
}

// A required value from the next argument; the scanner is past the option.
int32_t take_next_argument(argument_scanner& s, int32_t found, const char*& value) {
    if (s.next >= s.count) return 1 - s.next;
    value = s.args[s.next++];
    return found + 1;
}

int32_t long_option(argument_scanner& s, const char* name, const char*& value) {
    const char* separator = strpbrk(name, "=:");
    size_t length = separator ? static_cast<size_t>(separator - name) : strlen(name);
    int32_t found = find_long(s.options, name, length);
    if (found < 0) return -s.next;
    const char* rest = separator ? separator + 1 : nullptr;
    switch (s.options[found].kind) {
    case option_value:
        ++s.next;
        if (rest) {
            value = rest;
            return found + 1;
        }
        return take_next_argument(s, found, value);
    case option_optional_value:
        ++s.next;
        value = rest && *rest ? rest : nullptr;
        return found + 1;
    default:
        if (separator) return -s.next;
        ++s.next;
        return found + 1;
    }
}

int32_t short_option(argument_scanner& s, const char*& value) {
    int32_t found = find_short(s.options, *s.cluster);
    if (found < 0) return -s.next;
    const char* rest = s.cluster + 1;
    switch (s.options[found].kind) {
    case option_value:
        s.cluster = nullptr;
        ++s.next;
        if (*rest) {
            value = rest;
            return found + 1;
        }
        return take_next_argument(s, found, value);
    case option_optional_value:
        s.cluster = nullptr;
        ++s.next;
        value = *rest ? rest : nullptr;
        return found + 1;
    default:
        if (*rest) {
            s.cluster = rest;
        } else {
            s.cluster = nullptr;
            ++s.next;
        }
        return found + 1;
    }
}

}  // namespace

int32_t parse_arguments(argument_scanner& s, const char*& value) {
    value = nullptr;
    if (s.next == 0) {
        s.next = 1;
        s.cluster = nullptr;
    }
    while (s.next < s.count) {
        const char* arg = s.args[s.next];
        if (s.operands_only) {
            value = arg;
            ++s.next;
            return 0;
        }
        if (s.cluster) return short_option(s, value);
        if (arg[0] == '-' && arg[1] == '-') {
            if (arg[2] == '\0') {
                s.operands_only = true;
                ++s.next;
                continue;
            }
            return long_option(s, arg + 2, value);
        }
        if (arg[0] == '/') {
            if (arg[1] == '\0') {
                s.operands_only = true;
                ++s.next;
                continue;
            }
            return long_option(s, arg + 1, value);
        }
        if (arg[0] == '-') {
            // A lone "-" is looked up as the short option "-" itself.
            s.cluster = arg[1] ? arg + 1 : arg;
            return short_option(s, value);
        }
        value = arg;
        ++s.next;
        return 0;
    }
    return arguments_end;
}
