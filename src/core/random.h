// Random generators behind one interface, `irandom`: xorshift32
// (`xs_random`), MT19937 (`mt_random`) and a ring of pre-drawn MT19937
// numbers (`buf_random`). Every generator saves its whole state as 32-bit
// words and can be restored from them, so a sequence can be replayed.
// Also the process-wide MT19937 generator of the engine's own effects.
#ifndef VY_CORE_RANDOM_H
#define VY_CORE_RANDOM_H

#include <cstdint>
#include <vector>

class irandom {
public:
    virtual ~irandom() = default;
    virtual void set_param(uint32_t p) { param_ = p; }
    // Seed 0 means the current time in seconds.
    virtual void seed(uint32_t s) { seed_ = effective_seed(s); }
    virtual uint32_t next() { return seed_; }
    virtual void save(std::vector<uint32_t>& words) const { words.assign(1, seed_); }
    // False, leaving the generator as it was, when the words don't make a
    // state of this generator.
    virtual bool restore(const std::vector<uint32_t>& words);

    uint32_t seed_value() const { return seed_; }
    uint32_t param() const { return param_; }

    static uint32_t effective_seed(uint32_t s);

protected:
    uint32_t seed_ = 0;
    uint32_t param_ = 0;
};

// The MT19937 state in its countdown form: the countdown drops before
// each output and the 624 words are regenerated when it reaches 0.
struct mt_state {
    static constexpr uint32_t size = 624;
    uint32_t words[size] = {};
    uint32_t position = size;  // index of the next word to temper
    int32_t countdown = 1;     // a fresh state regenerates on the first draw

    void init(uint32_t seed);
    uint32_t next();
    // A position and countdown that the draws can't run off the words with.
    static bool valid(uint32_t position, int32_t countdown);
};

class xs_random : public irandom {
public:
    void seed(uint32_t s) override;
    uint32_t next() override;
    void save(std::vector<uint32_t>& words) const override;
    bool restore(const std::vector<uint32_t>& words) override;
    uint32_t state() const { return state_; }

private:
    uint32_t state_ = 0;
};

class mt_random : public irandom {
public:
    static constexpr uint32_t saved_words = 3 + mt_state::size;
    void seed(uint32_t s) override;
    uint32_t next() override;
    void save(std::vector<uint32_t>& words) const override;
    bool restore(const std::vector<uint32_t>& words) override;

private:
    mt_state state_;
};

class buf_random : public irandom {
public:
    static constexpr uint32_t default_count = 0x10000;
    // Outputs thrown away after seeding, before the ring is filled.
    static constexpr uint32_t discarded = 1024;
    // The largest ring (256 MB): about what a 32-bit process can still hold.
    // Counts come from scripts and saved states; a 64-bit process must not
    // take more than the 32-bit product could.
    static constexpr uint32_t max_count = 1u << 26;

    buf_random() { param_ = default_count; }
    // The ring's size; 0 gives the default.
    void set_param(uint32_t p) override;
    // Refills the ring. When the ring can't be allocated it stays empty.
    void seed(uint32_t s) override;
    // Advances, then reads: the first number after a seed is ring[1].
    // Without a ring it answers 0.
    uint32_t next() override;
    void save(std::vector<uint32_t>& words) const override;
    // Refuses an index outside -1..count-1 or a ring past max_count or
    // that can't be allocated.
    bool restore(const std::vector<uint32_t>& words) override;

    // Room for the ring ahead of the first seed; false when it can't be had.
    bool reserve();

    const std::vector<uint32_t>& ring() const { return ring_; }
    int32_t index() const { return index_; }

private:
    static bool fill(std::vector<uint32_t>& ring, uint32_t seed, uint32_t count);

    std::vector<uint32_t> ring_;
    int32_t index_ = -1;
};

// The engine's own generator, seeded with 5489 before first use. The
// scrambler and the update client reseed it.
mt_random& global_random();
uint32_t global_random_next();
// a + (b - a) * r / 2^32 with r the next output: within [a, b).
double global_random_range(double a, double b);

#endif
