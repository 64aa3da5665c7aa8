#include "core/random.h"

#include <ctime>
#include <exception>

uint32_t irandom::effective_seed(uint32_t s) {
    return s != 0 ? s : static_cast<uint32_t>(time(nullptr));
}

bool irandom::restore(const std::vector<uint32_t>& words) {
    if (words.size() < 1) return false;
    seed_ = words[0];
    return true;
}

// MT19937 as published: matrix 0x9908B0DF and the standard tempering.

void mt_state::init(uint32_t seed) {
    words[0] = seed;
    for (uint32_t i = 1; i < size; ++i)
        words[i] = 1812433253u * (words[i - 1] ^ (words[i - 1] >> 30)) + i;
    position = size;
    countdown = 1;
}

namespace {

constexpr uint32_t mt_shift = 397;

inline uint32_t twist(uint32_t upper, uint32_t lower, uint32_t far) {
    uint32_t y = (upper & 0x80000000u) | (lower & 0x7FFFFFFFu);
    return far ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
}

void regenerate(uint32_t* w) {
    const uint32_t n = mt_state::size;
    uint32_t i = 0;
    for (; i < n - mt_shift; ++i) w[i] = twist(w[i], w[i + 1], w[i + mt_shift]);
    for (; i < n - 1; ++i) w[i] = twist(w[i], w[i + 1], w[i + mt_shift - n]);
    w[n - 1] = twist(w[n - 1], w[0], w[mt_shift - 1]);
}

}  // namespace

uint32_t mt_state::next() {
    if (--countdown == 0) {
        regenerate(words);
        position = 0;
        countdown = size;
    }
    uint32_t y = words[position++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

bool mt_state::valid(uint32_t position, int32_t countdown) {
    // countdown - 1 draws read words[position] onwards before the next
    // regeneration, so they must all lie inside the state.
    return countdown >= 1 && countdown <= static_cast<int32_t>(size) && position <= size &&
           position + static_cast<uint32_t>(countdown) <= size + 1;
}

void xs_random::seed(uint32_t s) {
    seed_ = effective_seed(s);
    state_ = seed_ ^ 0x92D68CA2u;
}

uint32_t xs_random::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

void xs_random::save(std::vector<uint32_t>& words) const { words.assign({seed_, state_}); }

bool xs_random::restore(const std::vector<uint32_t>& words) {
    if (words.size() < 2) return false;
    seed_ = words[0];
    state_ = words[1];
    return true;
}

void mt_random::seed(uint32_t s) {
    seed_ = effective_seed(s);
    state_.init(seed_);
}

uint32_t mt_random::next() { return state_.next(); }

void mt_random::save(std::vector<uint32_t>& words) const {
    words.resize(saved_words);
    words[0] = seed_;
    words[1] = static_cast<uint32_t>(state_.countdown);
    words[2] = state_.position;
    for (uint32_t i = 0; i < mt_state::size; ++i) words[3 + i] = state_.words[i];
}

bool mt_random::restore(const std::vector<uint32_t>& words) {
    if (words.size() < saved_words) return false;
    int32_t countdown = static_cast<int32_t>(words[1]);
    if (!mt_state::valid(words[2], countdown)) return false;
    seed_ = words[0];
    state_.countdown = countdown;
    state_.position = words[2];
    for (uint32_t i = 0; i < mt_state::size; ++i) state_.words[i] = words[3 + i];
    return true;
}

void buf_random::set_param(uint32_t p) { param_ = p != 0 ? p : default_count; }

bool buf_random::fill(std::vector<uint32_t>& ring, uint32_t seed, uint32_t count) {
    if (count > max_count) return false;
    try {
        ring.resize(count);
    } catch (const std::exception&) {
        return false;
    }
    mt_state mt;
    mt.init(seed);
    for (uint32_t i = 0; i < discarded; ++i) mt.next();
    for (uint32_t& w : ring) w = mt.next();
    return true;
}

bool buf_random::reserve() {
    if (param_ > max_count) return false;
    try {
        ring_.reserve(param_);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void buf_random::seed(uint32_t s) {
    seed_ = effective_seed(s);
    index_ = 0;
    if (!fill(ring_, seed_, param_)) std::vector<uint32_t>().swap(ring_);
}

uint32_t buf_random::next() {
    if (ring_.empty()) return 0;
    // Wraps at the ring's own size: a count changed after the seed must not
    // read past it.
    if (++index_ < 0 || static_cast<size_t>(index_) >= ring_.size()) index_ = 0;
    return ring_[static_cast<size_t>(index_)];
}

void buf_random::save(std::vector<uint32_t>& words) const {
    words.assign({seed_, param_, static_cast<uint32_t>(index_)});
}

bool buf_random::restore(const std::vector<uint32_t>& words) {
    if (words.size() < 3) return false;
    uint32_t count = words[1] != 0 ? words[1] : default_count;
    int32_t index = static_cast<int32_t>(words[2]);
    if (index < -1 || (index >= 0 && static_cast<uint32_t>(index) >= count)) return false;
    uint32_t seed = effective_seed(words[0]);
    std::vector<uint32_t> ring;
    if (!fill(ring, seed, count)) return false;
    param_ = count;
    seed_ = seed;
    ring_.swap(ring);
    index_ = index;
    return true;
}

mt_random& global_random() {
    static mt_random generator = [] {
        mt_random g;
        g.seed(5489);
        return g;
    }();
    return generator;
}

uint32_t global_random_next() { return global_random().next(); }

double global_random_range(double a, double b) {
    return a + (b - a) * static_cast<double>(global_random_next()) / 4294967296.0;
}
