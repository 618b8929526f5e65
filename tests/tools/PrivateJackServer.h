#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// A JACK server of a test's (or a benchmark's) own and the processes around it. The server is
// `jackd -d dummy` at 48 kHz with periods of 256 frames, under a server name nobody else uses;
// JACK_DEFAULT_SERVER names it while it lives, so the program's JACK client and the jack tools
// (jack_lsp, jack_midi_dump, jack_midiseq) find it, and a user's own server is never touched.
// The programs come with Debian's jackd2 (tools/setup.sh installs it).
namespace kv_test {

// Starts a program with its standard output and error going to `log` (nothing: /dev/null);
// the process id, or -1.
inline pid_t spawn_program(const std::vector<std::string>& args, const std::string& log = "") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.empty() ? "/dev/null" : log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return err == 0 ? pid : -1;
}

// Ends a process we started with `sig` (after five seconds outright) and waits for it.
inline void end_program(pid_t* pid, int sig = SIGTERM) {
    if (*pid <= 0) return;
    ::kill(*pid, sig);
    int status = 0;
    for (int i = 0; i < 500; ++i) {
        if (::waitpid(*pid, &status, WNOHANG) == *pid) {
            *pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(*pid, SIGKILL);
    ::waitpid(*pid, &status, 0);
    *pid = -1;
}

inline std::string read_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Waits (at most ten seconds) until `check` holds.
template <class F>
bool wait_until(F check) {
    for (int i = 0; i < 200; ++i) {
        if (check()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

class private_jack_server {
public:
    // `base` begins the server's name; the process id follows, so parallel runs never meet.
    explicit private_jack_server(const std::string& base)
        : name_(base + "-" + std::to_string(::getpid())) {
        char tmpl[] = "/tmp/kvjack-XXXXXX";
        if (::mkdtemp(tmpl)) folder_ = tmpl;
    }

    ~private_jack_server() {
        stop();
        // JACK's registry of servers (in /dev/shm, shared by every server of the machine) has
        // room for a few; a server killed outright keeps its place until a server of the same
        // name starts. One more start and a clean stop give it back, or killed test servers
        // would soon leave no room for any server.
        if (killed_) {
            std::string why;
            if (start(&why)) stop();
        }
        ::unsetenv("JACK_DEFAULT_SERVER");
        std::error_code ec;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
        // A server killed outright leaves its sockets and semaphores behind, named after it.
        for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec)) {
            if (e.path().filename().string().find(name_) != std::string::npos)
                std::filesystem::remove(e.path(), ec);
        }
    }
    private_jack_server(const private_jack_server&) = delete;
    private_jack_server& operator=(const private_jack_server&) = delete;

    // Starts the server and waits until it answers; false, with the reason in `why`, when it
    // does not.
    bool start(std::string* why) {
        if (!have("jackd") || !have("jack_lsp")) {
            *why = "jackd or jack_lsp is missing: install jackd2 (tools/setup.sh)";
            return false;
        }
        ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        pid_ = spawn_program({"jackd", "-n", name_, "-d", "dummy", "-r", "48000", "-p", "256"},
                             log_path());
        if (pid_ <= 0) {
            *why = "jackd cannot be started";
            return false;
        }
        killed_ = false;
        if (!wait_until([] { return std::system("jack_lsp >/dev/null 2>&1") == 0; })) {
            *why = "the JACK server did not come up: " + read_text(log_path());
            return false;
        }
        return true;
    }

    // A new server after this one was stopped (or killed), under the same name: it takes over
    // what a killed one left.
    bool start_another(std::string* why) {
        stop();
        return start(why);
    }

    // Stops the server (SIGKILL: killed outright, as a crash would).
    void stop(int sig = SIGTERM) {
        if (pid_ <= 0) return;
        end_program(&pid_, sig);
        killed_ = sig == SIGKILL;
    }
    bool running() const { return pid_ > 0; }

    // True when the server lists `port` (as "client:port").
    static bool has_port(const std::string& port) {
        FILE* p = ::popen("jack_lsp 2>/dev/null", "r");
        if (!p) return false;
        std::string ports;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            ports.append(buf, n);
        ::pclose(p);
        std::istringstream lines(ports);
        for (std::string line; std::getline(lines, line);) {
            if (line == port) return true;
        }
        return false;
    }
    static bool wait_for_port(const std::string& port) {
        return wait_until([&] { return has_port(port); });
    }

    const std::string& name() const { return name_; }
    // A folder of the server's own for logs and recordings, removed with it.
    const std::string& folder() const { return folder_; }
    std::string log_path() const { return folder_ + "/jackd.log"; }

private:
    static bool have(const std::string& program) {
        return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
    }

    std::string name_, folder_;
    pid_t pid_ = -1;
    bool killed_ = false;  // the last server was killed outright
};

}  // namespace kv_test
