// Named Win32 mutexes; `single_instance` keeps a second copy of the engine
// from running on the same game folder.
#ifndef VY_CORE_MUTEX_H
#define VY_CORE_MUTEX_H

class mutex {
public:
    mutex() = default;
    virtual ~mutex();
    mutex(const mutex&) = delete;
    mutex& operator=(const mutex&) = delete;

    // Drops any mutex held, then creates (or opens) the named one, not
    // owned. A name that already existed counts as taken: the handle is
    // closed again and the answer is false. A null name gives an unnamed
    // mutex.
    bool create(const wchar_t* name);
    // Waits up to timeout_ms for ownership.
    bool acquire(unsigned long timeout_ms);
    void release();
    void close();

    void* handle() const { return handle_; }
    bool owned() const { return owned_; }

protected:
    void* handle_ = nullptr;
    bool owned_ = false;
};

class single_instance : public mutex {
public:
    ~single_instance() override;
};

#endif
