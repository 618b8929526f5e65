#pragma once

#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

// A system library opened when it is first needed rather than when the program starts. The
// synthesizer and the sound-file encoder bring some sixty libraries with them (sound servers,
// windowing, codecs); a program linked against them pays for loading all of those on every
// start, even for a command that never sounds a note. Nothing here prints or throws.
namespace kv_dl {

class shared_library {
public:
    // The library is looked for under each of `names` in turn (its versioned name first).
    shared_library(std::initializer_list<const char*> names);
    shared_library(const shared_library&) = delete;
    shared_library& operator=(const shared_library&) = delete;

    // Opens the library on the first call; true when it is open. Any thread.
    bool open();

    // The address of the function `name` in the open library, or null. Call after open().
    void* symbol(const char* name) const;

    // Looks the function `name` up into `*slot`, typed as the library's header declares it;
    // false (and null) when the library lacks it. Call after open().
    template <typename Fn>
    bool resolve(const char* name, Fn** slot) const {
        *slot = reinterpret_cast<Fn*>(symbol(name));
        return *slot != nullptr;
    }

private:
    std::vector<std::string> names_;
    std::once_flag once_;
    void* handle_ = nullptr;  // never closed: the library's threads and exit handlers may run
                              // until the program ends
};

}  // namespace kv_dl
