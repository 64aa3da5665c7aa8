// `textfile`: line reading through a fixed buffer, so a long list is read
// in a few large reads instead of one call per byte.
#include "core/file.h"

#include <cstring>

namespace {
constexpr uint32_t text_at_end = 0x01;  // the file has nothing more to give
}

textfile::textfile() : buffer_(buffer_size) {}

textfile::textfile(const wchar_t* name) : file(name), buffer_(buffer_size) {}

textfile::~textfile() { textfile::close(); }

bool textfile::close() {
    position_ = -1;
    filled_ = 0;
    text_flags_ = 0;
    return file::close();
}

bool textfile::read_line(string& out) {
    out.assign(nullptr);
    std::vector<char> line;
    bool ended = false;
    while (!ended) {
        if (position_ < 0 || static_cast<uint32_t>(position_) >= filled_) {
            if (text_flags_ & text_at_end) break;
            uint32_t done = 0;
            if (!read(buffer_.data(), buffer_size, done)) return false;
            if (done == 0) {
                text_flags_ |= text_at_end;
                break;
            }
            filled_ = done;
            position_ = 0;
        }
        uint32_t start = static_cast<uint32_t>(position_);
        uint32_t end = start;
        while (end < filled_ && buffer_[end] != '\n') ++end;
        line.insert(line.end(), buffer_.begin() + start, buffer_.begin() + end);
        if (end < filled_) {
            ended = true;
            ++end;
        }
        position_ = static_cast<int32_t>(end);
    }
    if (!ended && line.empty()) return false;
    if (ended && !line.empty() && line.back() == '\r') line.pop_back();
    line.push_back(0);
    out.assign(line.data());
    return true;
}

bool textfile::write_line_text(const char* text) {
    if (text && *text && !write(text, static_cast<uint32_t>(strlen(text)))) return false;
    return write("\n", 1);
}
