// Named per-frame counters, sampled at the end of each frame and dumped to
// "log\statistics.log" at exit.
#ifndef VY_CORE_STATISTICS_H
#define VY_CORE_STATISTICS_H

#include <cstdint>
#include <vector>

#include "core/singleton.h"
#include "core/trace.h"

class statistics : public singleton<statistics> {
public:
    class object {
    public:
        virtual ~object() = default;
        virtual void reset() = 0;
        virtual void begin_frame(uint32_t frame) = 0;
        virtual void end_frame(uint32_t frame) = 0;
        virtual void dump(trace& log, const char* prefix, uint32_t frames) = 0;
    };

    // Users add to `current` during the frame; every `period` frames (0 and
    // 1: every frame) the running count becomes one sample.
    class counter : public object {
    public:
        explicit counter(const char* counter_name) : name(counter_name) {}
        void reset() override;
        void begin_frame(uint32_t frame) override;
        void end_frame(uint32_t frame) override;
        // "%s%32s: avg=%12.1f, min=%10d, max=%10d", then a reset.
        void dump(trace& log, const char* prefix, uint32_t frames) override;
        double average(uint32_t frames) const;

        const char* name;  // not copied: string literals in practice
        uint32_t current = 0;
        uint32_t minimum = 0;  // 0: no minimum yet
        uint32_t maximum = 0;
        uint32_t total = 0;
        uint32_t period = 0;
    };

    static constexpr const wchar_t* log_name = L"log\\statistics.log";

    statistics() = default;
    ~statistics() override;
    statistics(const statistics&) = delete;
    statistics& operator=(const statistics&) = delete;

    void add(object* entry) { objects_.push_back(entry); }
    void begin_frame();
    // Counts the frame (frames are numbered from 1) and samples every entry.
    void end_frame();
    // Every entry to the log (opened on first use), each then reset.
    bool dump(const char* prefix);
    bool open_log(const wchar_t* name = log_name, uint32_t flags = trace_overwrite);

    uint32_t frames() const { return frames_; }
    trace& log() { return log_; }
    const std::vector<object*>& objects() const { return objects_; }

private:
    std::vector<object*> objects_;  // owned
    uint32_t frames_ = 0;
    trace log_;
};

statistics::counter* statistics_counter_create(statistics& owner, const char* name);

#endif
