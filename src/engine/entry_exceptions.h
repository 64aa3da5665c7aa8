// The two ways a start-up step fails: `exception` runs the normal shut-down
// (settings and exit code are written back), `fatal_exception` shows its
// message and ends at once with -1, writing nothing.
#ifndef VY_ENGINE_ENTRY_EXCEPTIONS_H
#define VY_ENGINE_ENTRY_EXCEPTIONS_H

#include <cstdint>

class exception {
public:
    // code: the source line of the throw (0: a quiet, successful end).
    exception(int32_t code, const char* message) : code_(code), message_(message) {}
    virtual ~exception() = default;
    int32_t code() const { return code_; }
    const char* message() const { return message_; }

private:
    int32_t code_;
    const char* message_;
};

class fatal_exception : public exception {
public:
    using exception::exception;
};

#define THROW_STARTUP(message) throw exception(__LINE__, (message))
#define THROW_FATAL(message) throw fatal_exception(__LINE__, (message))

#endif
