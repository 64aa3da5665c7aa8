// One process-wide instance per manager class: the first object of T that is
// constructed becomes the instance; destroying it forgets it again. Later
// objects of T are ordinary objects.
#ifndef VY_CORE_SINGLETON_H
#define VY_CORE_SINGLETON_H

template <class T>
class singleton {
public:
    static T* instance() { return static_cast<T*>(instance_); }

    virtual ~singleton() {
        if (instance_ == this) instance_ = nullptr;
    }

protected:
    singleton() {
        if (!instance_) instance_ = this;
    }
    singleton(const singleton&) : singleton() {}
    singleton& operator=(const singleton&) { return *this; }

private:
    // Kept as the base pointer: T is not constructed yet when it is set.
    static inline singleton* instance_ = nullptr;
};

#endif
