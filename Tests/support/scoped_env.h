// Setting environment variables in a test, and putting them back as they were.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace test_support {

inline void setEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

inline void unsetEnv(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    ::unsetenv(name);
#endif
}

// Sets (or, for null, unsets) a variable until the scope ends.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        value != nullptr ? setEnv(name, value) : unsetEnv(name);
    }
    ~ScopedEnv() { old_ ? setEnv(name_, *old_) : unsetEnv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace test_support
