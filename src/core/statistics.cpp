#include "core/statistics.h"

#include <new>

#include "core/folders.h"

void statistics::counter::reset() {
    current = 0;
    minimum = 0;
    maximum = 0;
    total = 0;
}

void statistics::counter::begin_frame(uint32_t) {}

void statistics::counter::end_frame(uint32_t frame) {
    if (period > 1 && frame % period != 0) return;  // the sample keeps running
    uint32_t sample = current;
    if (minimum == 0 || sample < minimum) minimum = sample;
    if (sample > maximum) maximum = sample;
    total += sample;
    current = 0;
}

double statistics::counter::average(uint32_t frames) const {
    if (frames == 0) return 0.0;  // nothing was sampled: no division by zero
    double per = period == 0 ? 1.0 : double(period);
    return double(total) / double(frames) * per;
}

void statistics::counter::dump(trace& log, const char* prefix, uint32_t frames) {
    TRACE_LOCATION(log);
    log_printf(log, "%s%32s: avg=%12.1f, min=%10d, max=%10d", prefix ? prefix : "", name ? name : "",
               average(frames), int(minimum), int(maximum));
    reset();
}

statistics::~statistics() {
    for (object* o : objects_) delete o;
    objects_.clear();
}

void statistics::begin_frame() {
    for (object* o : objects_) o->begin_frame(frames_ + 1);
}

void statistics::end_frame() {
    ++frames_;
    for (object* o : objects_) o->end_frame(frames_);
}

bool statistics::open_log(const wchar_t* name, uint32_t flags) {
    wstring folder = directory_of(name);
    if (!folder.empty()) create_path(folder.c_str(), FILE_ATTRIBUTE_DIRECTORY);
    return log_.open(name, flags);
}

bool statistics::dump(const char* prefix) {
    if (!log_.is_open() && !open_log()) return false;
    for (object* o : objects_) o->dump(log_, prefix, frames_);
    return true;
}

statistics::counter* statistics_counter_create(statistics& owner, const char* name) {
    statistics::counter* c = new (std::nothrow) statistics::counter(name);
    if (c) owner.add(c);
    return c;
}
