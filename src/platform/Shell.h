#pragma once

#include <memory>
#include <string>
#include <vector>

// Opening a document with the desktop's preferred program, and the result codes the callers
// read (kept in the form of the system call they stand for: above 32 is success).
namespace kv_shell {

inline constexpr int kFileNotFound = 2;    // the document does not exist
inline constexpr int kNoAssociation = 31;  // no program could be started for it
inline constexpr int kOpened = 33;         // handed to the desktop's program

// Opens documents. The real one starts `xdg-open`; tests use a recorder.
class shell {
public:
    virtual ~shell() = default;
    // Opens the host path; kFileNotFound when it does not exist, kNoAssociation when no
    // program could be started, kOpened otherwise. The user-interface thread.
    virtual int open(const std::string& host_path) = 0;
};

// The desktop's shell: checks the file, then starts `xdg-open` detached (never waits for it).
std::unique_ptr<shell> make_desktop_shell();

// A shell that opens nothing: answers kFileNotFound for missing files, else `answer`, and keeps
// every path it was asked to open.
class shell_recorder final : public shell {
public:
    explicit shell_recorder(int answer = kOpened) : answer_(answer) {}
    int open(const std::string& host_path) override;
    std::vector<std::string> opened;  // every path asked for, in order

private:
    int answer_;
};

}  // namespace kv_shell
