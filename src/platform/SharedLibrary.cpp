#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace kv_dl {

shared_library::shared_library(std::initializer_list<const char*> names)
    : names_(names.begin(), names.end()) {}

bool shared_library::open() {
    std::call_once(once_, [this] {
        for (const std::string& name : names_) {
            // Its symbols stay its own, so that they never stand in for the program's.
            handle_ = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (handle_) return;
        }
    });
    return handle_ != nullptr;
}

void* shared_library::symbol(const char* name) const {
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace kv_dl
