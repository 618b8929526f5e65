#include "platform/Process.h"

#include <unistd.h>

#include <climits>
#include <vector>

namespace kv_process {

std::string executable_path() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    return std::string(buffer.data(), static_cast<size_t>(n));
}

}  // namespace kv_process
