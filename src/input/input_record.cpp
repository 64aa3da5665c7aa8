// Recording and replay: once a frame the recorder compares the state block
// with a snapshot and appends change records behind a frame header; the
// player feeds them back frame by frame. A recording is kept as an 8-bit
// picture whose pixels are the records.
#include <algorithm>
#include <cstring>

#include "core/file.h"
#include "core/trace.h"
#include "input/input.h"

namespace {
constexpr uint32_t picture_width = 1024;
constexpr uint32_t picture_offset = 14 + 40 + 1024;

// A change of logical code 0 would read as a frame header (byte 2 is 0):
// its records carry this device word instead, which no header can carry
// while modes stay below 256.
constexpr uint32_t code_zero_mark = 0xFFFF;

bool is_header(uint32_t word0) { return entry_code(word0) == 0 && entry_device(word0) != code_zero_mark; }

// The axis an analog code records, or -1 for codes that name no axis.
int recorded_axis(uint32_t code) {
    const int axis = code_axis(code);
    return axis < input_axis_count ? axis : -1;
}

uint32_t float_bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

float bits_float(uint32_t u) {
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

bool changed(const input_state& a, const input_state& b, uint32_t code) {
    if (!code_is_analog(code)) return a.codes[code] != b.codes[code];
    const int axis = recorded_axis(code);
    return axis >= 0 && a.axes[axis].counter != b.axes[axis].counter;
}

void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}
uint32_t get16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t get32(const uint8_t* p) { return get16(p) | (get16(p + 2) << 16); }
}  // namespace

void input::record_info::start(uint32_t input_index, uint32_t mode_number) {
    id1 = input_index;
    id2 = mode_number;
    snapshot = input_state();
    codes.clear();
    records.clear();
    if (records.capacity() < 1024) records.reserve(1024);
    read_index = 0;
    frame = 0;
}

void input::record_info::record(const input_state& state) {
    ++frame;
    bool any = false;
    for (uint32_t entry : codes) {
        if (changed(state, snapshot, entry_code(entry))) {
            any = true;
            break;
        }
    }
    if (!any) return;
    records.push_back({(id2 & 0xFFFF) | ((static_cast<uint32_t>(codes.size()) & 0xFF) << 24), frame});
    for (uint32_t entry : codes) {
        const uint32_t code = entry_code(entry);
        if (!changed(state, snapshot, code)) continue;
        if (!code_is_analog(code)) {
            const uint32_t word0 = code == 0 ? (entry & ~0xFFFFu) | code_zero_mark : entry;
            records.push_back({word0, static_cast<uint32_t>(state.codes[code])});
            continue;
        }
        const input_state::axis& a = state.axes[recorded_axis(code)];
        records.push_back({entry, float_bits(a.value)});
        records.push_back({static_cast<uint32_t>(a.counter), float_bits(a.accumulated)});
    }
    snapshot = state;
}

bool input::record_info::restore(input_state& state) {
    ++frame;
    const uint32_t count = static_cast<uint32_t>(records.size());
    if (read_index >= count) return false;
    const auto& header = records[read_index];
    if (!is_header(header.first)) {
        TRACE_ERROR("input::record_info::restore", "broken: id", static_cast<int32_t>(entry_code(header.first)));
        return false;
    }
    if (header.second < frame) {
        TRACE_ERROR("input::record_info::restore", "broken: frame", static_cast<int32_t>(header.second));
        return false;
    }
    if (header.second > frame) {
        // No change in this frame: the last played frame's input holds.
        for (uint32_t entry : codes) {
            const uint32_t code = entry_code(entry);
            if (!code_is_analog(code)) state.codes[code] = snapshot.codes[code];
            else if (recorded_axis(code) >= 0) state.axes[recorded_axis(code)] = snapshot.axes[recorded_axis(code)];
        }
        return true;
    }
    for (++read_index; read_index < count && !is_header(records[read_index].first); ++read_index) {
        const auto& r = records[read_index];
        const uint32_t code = entry_code(r.first);
        if (!code_is_analog(code)) {
            state.codes[code] = static_cast<int32_t>(r.second);
            continue;
        }
        const int axis = recorded_axis(code);
        if (axis < 0) continue;
        state.axes[axis].value = bits_float(r.second);
        if (read_index + 1 >= count) break;
        const auto& second = records[++read_index];
        state.axes[axis].accumulated = bits_float(second.second);
        state.axes[axis].counter = static_cast<int32_t>(second.first);
    }
    snapshot = state;
    return true;
}

bool input::record_info::save(file& f) const {
    const uint32_t n = static_cast<uint32_t>(records.size());
    if (n == 0) return false;
    const uint32_t height = (8 * n + picture_width - 1) / picture_width;
    const uint32_t image = height * picture_width;
    uint8_t head[14] = {'B', 'M'};
    put32(head + 2, picture_offset + image);
    head[6] = 'V';
    head[7] = 'y';
    head[8] = 'I';
    head[9] = 'R';
    put32(head + 10, picture_offset);
    std::vector<uint8_t> info(40 + 1024, 0);
    put32(&info[0], 40);
    put32(&info[4], picture_width);
    put32(&info[8], height);
    put16(&info[12], 1);
    put16(&info[14], 8);
    put32(&info[20], image);
    for (uint32_t i = 0; i < 256; ++i) {
        uint8_t* c = &info[40 + 4 * i];
        c[0] = static_cast<uint8_t>((i & 3) * 85);
        c[1] = static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7);
        c[2] = static_cast<uint8_t>(((i >> 5) & 7) * 255 / 7);
    }
    put32(&info[40], id1);
    put32(&info[44], id2);
    put32(&info[48], frame);
    put32(&info[52], n);
    std::vector<uint8_t> body(8 * static_cast<size_t>(n));
    for (uint32_t i = 0; i < n; ++i) {
        put32(&body[8 * i], records[i].first);
        put32(&body[8 * i + 4], records[i].second);
    }
    if (!f.write(head, sizeof head) || !f.write(info.data(), static_cast<uint32_t>(info.size())) ||
        !f.write(body.data(), static_cast<uint32_t>(body.size())))
        return false;
    if (image > body.size()) {
        std::vector<uint8_t> padding(image - body.size(), 0);
        if (!f.write(padding.data(), static_cast<uint32_t>(padding.size()))) return false;
    }
    return true;
}

bool input::record_info::load(file& f) {
    uint8_t head[14];
    if (!f.read_exact(head, sizeof head)) {
        TRACE_ERROR("input::record_info::load", "read1", GetLastError());
        return false;
    }
    const struct {
        uint32_t at, expected;
        const char* message;
    } checks[] = {
        {0, 'B' | ('M' << 8), "invalid type"},
        {6, 'V' | ('y' << 8), "invalid reserved1"},
        {8, 'I' | ('R' << 8), "invalid reserved2"},
    };
    for (const auto& c : checks) {
        if (get16(head + c.at) != c.expected) {
            TRACE_ERROR("input::record_info::load", c.message, static_cast<int32_t>(get16(head + c.at)));
            return false;
        }
        if (c.at == 0 && get32(head + 10) != picture_offset) {
            TRACE_ERROR("input::record_info::load", "invalid offset", static_cast<int32_t>(get32(head + 10)));
            return false;
        }
    }
    std::vector<uint8_t> info(40 + 1024);
    if (!f.read_exact(info.data(), static_cast<uint32_t>(info.size()))) {
        TRACE_ERROR("input::record_info::load", "read2", GetLastError());
        return false;
    }
    const uint32_t n = get32(&info[52]);
    const uint64_t bytes = 8ull * n;
    const uint32_t image = get32(&info[20]);
    // The records must be in the file too: a count that only the header
    // claims would have us allocate gigabytes for nothing.
    const uint64_t position = f.seek(0, 1), file_size = f.size();
    if (bytes > image || position > file_size || bytes > file_size - position) {
        TRACE_ERROR("input::record_info::load", "invalid size", static_cast<int32_t>(n));
        return false;
    }
    read_index = 0;
    frame = 0;
    records.assign(n, {0, 0});
    std::vector<uint8_t> body(static_cast<size_t>(bytes));
    if (n && !f.read_exact(body.data(), static_cast<uint32_t>(bytes))) {
        TRACE_ERROR("input::record_info::load", "read3", GetLastError());
        return false;
    }
    for (uint32_t i = 0; i < n; ++i) records[i] = {get32(&body[8 * i]), get32(&body[8 * i + 4])};
    // Over the padding, so the caller reads on behind the picture; a file
    // cut short ends here.
    const uint64_t left = file_size - position - bytes;
    if (bytes < image) f.seek(static_cast<int32_t>(std::min<uint64_t>(image - bytes, left)), 1);
    return true;
}

bool input_replay_save(const input::record_info& replay, const wchar_t* path, const std::vector<uint8_t>& value) {
    if (replay.records.empty()) return false;
    file f(path);
    if (!f.open(file_write | file_create | file_open_always)) {
        TRACE_ERROR("input_replay_save", "open", GetLastError());
        return false;
    }
    const bool ok = replay.save(f) && f.write(value.data(), static_cast<uint32_t>(value.size()));
    f.close();
    return ok;
}

bool input_replay_load(input::record_info& replay, const wchar_t* path, std::vector<uint8_t>& value) {
    file f(path);
    if (!f.open(file_read | file_share_read)) {
        TRACE_ERROR("input_replay_load", "open", GetLastError());
        return false;
    }
    if (!replay.load(f)) return false;
    const uint32_t position = f.seek(0, 1), size = f.size();
    if (position == 0xFFFFFFFFu || position >= size) return false;
    value.resize(size - position);
    return f.read_exact(value.data(), static_cast<uint32_t>(value.size()));
}
