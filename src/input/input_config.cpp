// The bindings file "input.ini": name tables turn logical and physical names
// into codes, reverse tables turn codes back into names, and one section per
// input and mode lists "logical name=physical name" lines.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/trace.h"
#include "input/input.h"

namespace {
const char* bindings_file() { return input_shared().config_file.c_str(); }

// A decimal number: optional sign, at least one digit. What follows the
// digits is ignored.
bool parse_decimal(const char* text, long long& out) {
    while (*text == ' ' || *text == '\t') ++text;
    const char* p = text;
    if (*p == '+' || *p == '-') ++p;
    if (!isdigit(static_cast<unsigned char>(*p))) return false;
    out = strtoll(text, nullptr, 10);
    return true;
}

// Key value of a section; false when the key is missing.
bool read_key(const char* section, const char* key, std::string& out, size_t room) {
    // A default that no value can equal tells "missing" from "empty".
    static const char missing[] = "\x01missing\x01";
    std::string buffer(room + 1, '\0');
    GetPrivateProfileStringA(section, key, missing, &buffer[0], static_cast<DWORD>(buffer.size()), bindings_file());
    buffer.resize(strlen(buffer.c_str()));
    if (buffer == missing) return false;
    out = buffer;
    return true;
}

// A whole section as its lines.
std::vector<std::string> read_section(const char* section) {
    std::vector<char> buffer(256);
    for (;;) {
        DWORD n = GetPrivateProfileSectionA(section, buffer.data(), static_cast<DWORD>(buffer.size()), bindings_file());
        if (n + 2 < buffer.size()) {
            buffer.resize(n + 2);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    std::vector<std::string> lines;
    for (const char* p = buffer.data(); *p; p += strlen(p) + 1) lines.emplace_back(p);
    return lines;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}
}  // namespace

bool input::convert_to_set(const char* logical, const char* physical, uint32_t& entry) {
    uint32_t code = 0, device = 0, key = 0;
    std::string value;
    long long number = 0;
    if (logical && *logical) {
        // Byte 2 holds the code: a number past 255 would bind another code.
        if (!read_key("INPUT", logical, value, 64) || !parse_decimal(value.c_str(), number) || number < 0 ||
            number > 255) {
            TRACE_ERROR("input::convert_to_set", logical, -1);
            return false;
        }
        code = static_cast<uint32_t>(number);
    }
    if (physical && *physical) {
        static const struct {
            const char* section;
            uint32_t device;
        } tables[] = {{"KEYBOARD", device_keyboard}, {"MOUSE", device_mouse}, {"JOYSTICK", device_joystick}};
        bool found = false;
        for (const auto& t : tables) {
            if (read_key(t.section, physical, value, 64)) {
                device = t.device;
                found = true;
                break;
            }
        }
        if (!found || !parse_decimal(value.c_str(), number) || number < 0 || number > 0xFFFF) {
            TRACE_ERROR("input::convert_to_set", physical, -1);
            return false;
        }
        if (number > 255) {
            device = static_cast<uint32_t>(number);
            key = 0;
        } else {
            key = static_cast<uint32_t>(number);
        }
    }
    entry = make_entry(device, code, key);
    return true;
}

void input::convert_to_key(uint32_t entry, string& logical, string& physical) {
    logical = string();
    physical = string();
    char key[16];
    std::string value;
    if (const uint32_t code = entry_code(entry)) {
        snprintf(key, sizeof key, "%u", code);
        if (read_key("#INPUT", key, value, 256)) logical = value.c_str();
        else TRACE_ERROR("input::convert_to_key", "#INPUT", static_cast<int32_t>(code));
    }
    const uint32_t device = entry_device(entry);
    if (device == 0) return;
    const char* section = (device & device_keyboard)   ? "#KEYBOARD"
                          : (device & device_mouse)    ? "#MOUSE"
                          : (device & device_joystick) ? "#JOYSTICK"
                                                       : nullptr;
    const uint32_t number = entry_key(entry) ? entry_key(entry) : device;
    if (section) {
        snprintf(key, sizeof key, "%u", number);
        if (read_key(section, key, value, 256)) {
            physical = value.c_str();
            return;
        }
    }
    TRACE_ERROR("input::convert_to_key", section ? section : "device", static_cast<int32_t>(number));
}

bool input::load_config(input* in) {
    in->modes.clear();
    TRACE_ERROR("input::load_config", bindings_file(), in->number);
    char section[32];
    snprintf(section, sizeof section, "INPUT%d", in->number);
    std::string value;
    in->window_name = read_key(section, "WINDOW", value, 256) ? value.c_str() : "";
    const input_devices& d = input_shared();
    in->window = d.main_window;
    if (!in->window_name.empty() && d.window_lookup) in->window = d.window_lookup(in->window_name.c_str());
    long long number = 0;
    in->joystick.number = read_key(section, "JOYSTICK", value, 64) && parse_decimal(value.c_str(), number) &&
                                  number > 0 && number <= 0xFFFF
                              ? static_cast<uint32_t>(number)
                              : 0;
    number = 0;
    if (read_key(section, "MODE", value, 64)) parse_decimal(value.c_str(), number);
    // A mode count beyond reason would only eat memory; the byte of the
    // logical code bounds what a game can mean.
    const int highest = number < 0 ? -1 : number > 255 ? 255 : static_cast<int>(number);
    TRACE_ERROR("input::load_config", "input mode", highest);
    for (int m = 0; m <= highest; ++m) {
        snprintf(section, sizeof section, "INPUT%d-MODE%d", in->number, m);
        mode bindings;
        for (const std::string& line : read_section(section)) {
            const size_t eq = line.find('=');
            uint32_t entry = 0;
            if (eq == std::string::npos ||
                !convert_to_set(trim(line.substr(0, eq)).c_str(), trim(line.substr(eq + 1)).c_str(), entry)) {
                TRACE_ERROR("input::load_config", line.c_str(), -1);
                continue;
            }
            bindings.push_back(entry);
        }
        in->modes.push_back(std::move(bindings));
    }
    return true;
}

void input::save_config(input* in) {
    TRACE_ERROR("input::save_config", bindings_file(), in->number);
    char section[32], text[16];
    snprintf(section, sizeof section, "INPUT%d", in->number);
    WritePrivateProfileStringA(section, "WINDOW", in->window_name.c_str(), bindings_file());
    snprintf(text, sizeof text, "%u", in->joystick.number);
    WritePrivateProfileStringA(section, "JOYSTICK", text, bindings_file());
    snprintf(text, sizeof text, "%d", static_cast<int>(in->modes.size()) - 1);
    WritePrivateProfileStringA(section, "MODE", text, bindings_file());
    for (size_t m = 0; m < in->modes.size(); ++m) {
        snprintf(section, sizeof section, "INPUT%d-MODE%u", in->number, static_cast<unsigned>(m));
        std::string lines;
        for (uint32_t entry : in->modes[m]) {
            string logical, physical;
            convert_to_key(entry, logical, physical);
            lines += logical.c_str();
            lines += '=';
            lines += physical.c_str();
            lines += '\0';
        }
        lines += '\0';
        WritePrivateProfileSectionA(section, lines.c_str(), bindings_file());
    }
}

namespace {
input::mode* mode_at(input* in, int32_t index) {
    if (index < 0) index = in->current_mode;
    if (index < 0 || static_cast<size_t>(index) >= in->modes.size()) return nullptr;
    return &in->modes[static_cast<size_t>(index)];
}
}  // namespace

const uint32_t* input::find_binding(input* in, int32_t mode_index, const uint32_t* after, uint32_t mask,
                                    uint32_t code) {
    mode* m = mode_at(in, mode_index);
    if (!m || m->empty()) return nullptr;
    const uint32_t* p = m->data();
    const uint32_t* end = p + m->size();
    if (after) {
        if (after < p || after >= end) return nullptr;
        p = after + 1;
    }
    for (; p < end; ++p) {
        if (mask && !(entry_device(*p) & mask)) continue;
        if (code && entry_code(*p) != code) continue;
        return p;
    }
    return nullptr;
}

bool input::add_binding(input* in, int32_t mode_index, uint32_t entry) {
    mode* m = mode_at(in, mode_index);
    if (!m) return false;
    m->push_back(entry);
    return true;
}

bool input::remove_binding(input* in, int32_t mode_index, uint32_t entry) {
    mode* m = mode_at(in, mode_index);
    if (!m) return false;
    for (auto it = m->begin(); it != m->end(); ++it) {
        if (*it == entry) {
            m->erase(it);
            break;
        }
    }
    return true;
}
