// zqso-probe: loads a snapshot-engine module the way a backup host does,
// resolves its thirteen entry points by name and, with --call, calls each one
// and checks that it answers 1 and leaves every buffer it was given as it was.
//
// Each call runs in a child process, so that a module that crashes or hangs
// is reported by name instead of taking the probe down with it.
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "engine/ZQSnapEngine.h"

namespace {

constexpr const char* kUsage =
    "usage: zqso-probe [--call] MODULE\n"
    "\n"
    "Loads the snapshot-engine module MODULE (a shared library) and resolves\n"
    "its thirteen zqso_ entry points by name.\n"
    "\n"
    "  --call    also call each entry point, first with null pointers and zero\n"
    "            integers, then with canary buffers, and check that each answers\n"
    "            1 (zqso_version answers nothing) and leaves every buffer byte\n"
    "            for byte unchanged\n"
    "  --help    show this help\n"
    "\n"
    "Exit status: 0 when all is well, 1 when a check fails, 2 on a usage error.\n";

constexpr std::size_t kCanaryBytes = 4096;
constexpr unsigned kCallTimeoutSeconds = 10;

// Buffers with a distinct byte pattern each, and non-zero integers.
struct Canaries {
    std::array<std::vector<unsigned char>, 4> buffers;
    std::int16_t int16 = 0x5A3C;
    std::int32_t int32 = 0x5AA5C33C;

    Canaries() {
        for (std::size_t b = 0; b < buffers.size(); ++b) buffers[b] = pattern(b);
    }
    static std::vector<unsigned char> pattern(std::size_t b) {
        std::vector<unsigned char> bytes(kCanaryBytes);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(0xA5 ^ (i * 31 + b * 7));
        return bytes;
    }
    void* ptr(std::size_t b) { return buffers[b].data(); }

    // Empty when untouched; otherwise which buffer and byte changed first.
    std::string first_change() const {
        for (std::size_t b = 0; b < buffers.size(); ++b) {
            const auto expected = pattern(b);
            for (std::size_t i = 0; i < kCanaryBytes; ++i)
                if (buffers[b][i] != expected[i])
                    return "changed byte " + std::to_string(i) + " of buffer " + std::to_string(b + 1);
        }
        return {};
    }
};

// The arguments of one call, handed out by type in parameter order: each
// pointer parameter takes the next buffer, each integer the canary of its
// width (or null pointers and zeros).
class Arguments {
public:
    Arguments(Canaries& canaries, bool with_canaries) : canaries_(canaries), with_canaries_(with_canaries) {}

    template <class T>
    T next() {
        if constexpr (std::is_pointer_v<T>) {
            return with_canaries_ ? canaries_.ptr(buffers_taken_++) : nullptr;
        } else if constexpr (std::is_same_v<T, std::int16_t>) {
            return with_canaries_ ? canaries_.int16 : 0;
        } else {
            static_assert(std::is_same_v<T, std::int32_t>, "the family passes pointers and 16- and 32-bit integers");
            return with_canaries_ ? canaries_.int32 : 0;
        }
    }

private:
    Canaries& canaries_;
    bool with_canaries_;
    std::size_t buffers_taken_ = 0;
};

// Calls an entry point through its own type; one that answers nothing
// counts as answering 1.
template <class Signature>
struct TypedCall;
template <class Result, class... Parameters>
struct TypedCall<Result(Parameters...)> {
    static int call(void* fn, Arguments& arguments) {
        // A braced list takes the arguments left to right, in parameter order.
        const std::tuple<Parameters...> values{arguments.next<Parameters>()...};
        const auto typed = reinterpret_cast<Result (*)(Parameters...)>(fn);
        if constexpr (std::is_void_v<Result>) {
            std::apply(typed, values);
            return 1;
        } else {
            return std::apply(typed, values);
        }
    }
};

struct EntryPoint {
    const char* name;
    int (*call)(void* fn, Arguments& arguments);
};

#define ZQSO_PROBE_ENTRY_POINT(result, name, parameters, arguments) {#name, &TypedCall<result parameters>::call},
constexpr EntryPoint kEntryPoints[] = {ZQSO_ENTRY_POINTS(ZQSO_PROBE_ENTRY_POINT)};
#undef ZQSO_PROBE_ENTRY_POINT
constexpr std::size_t kEntryPointCount = std::size(kEntryPoints);

// Calls one entry point; answers what went wrong, or the empty string.
std::string call_once(const EntryPoint& ep, void* fn, bool with_canaries) {
    Canaries c;
    Arguments arguments(c, with_canaries);
    const int status = ep.call(fn, arguments);
    if (status != 1) return "answered " + std::to_string(status) + ", expected 1";
    if (with_canaries) return c.first_change();
    return {};
}

// Runs call_once in a child process and reports its verdict, a crash or a hang.
std::string call_isolated(const EntryPoint& ep, void* fn, bool with_canaries) {
    int pipefd[2];
    if (pipe(pipefd) != 0) return std::string("cannot create a pipe: ") + std::strerror(errno);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return std::string("cannot fork: ") + std::strerror(errno);
    if (pid == 0) {
        close(pipefd[0]);
        alarm(kCallTimeoutSeconds);
        const std::string verdict = call_once(ep, fn, with_canaries);
        if (!verdict.empty() && write(pipefd[1], verdict.data(), verdict.size()) < 0) _exit(3);
        _exit(verdict.empty() ? 0 : 1);
    }
    close(pipefd[1]);
    std::string verdict;
    char chunk[256];
    ssize_t n;
    while ((n = read(pipefd[0], chunk, sizeof chunk)) > 0) verdict.append(chunk, static_cast<std::size_t>(n));
    close(pipefd[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    if (WIFSIGNALED(wstatus)) {
        if (WTERMSIG(wstatus) == SIGALRM) return "did not return within " + std::to_string(kCallTimeoutSeconds) + " s";
        return std::string("crashed (") + strsignal(WTERMSIG(wstatus)) + ")";
    }
    if (WIFEXITED(wstatus) && WEXITSTATUS(wstatus) != 0 && verdict.empty())
        return "exited with status " + std::to_string(WEXITSTATUS(wstatus));
    return verdict;
}

struct Options {
    bool call = false;
    const char* module = nullptr;
};

int usage_error(const char* message) {
    std::fprintf(stderr, "zqso-probe: %s\n%s", message, kUsage);
    return 2;
}

int probe(const Options& opt) {
    struct stat st;
    if (stat(opt.module, &st) != 0) {
        std::fprintf(stderr, "zqso-probe: cannot open module '%s': %s\n", opt.module, std::strerror(errno));
        return 1;
    }
    if (!S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "zqso-probe: '%s' is not a regular file\n", opt.module);
        return 1;
    }
    // dlopen looks names without a slash up on the library path; the probe
    // checks the file it was given.
    std::string path = opt.module;
    if (path.find('/') == std::string::npos) path = "./" + path;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "zqso-probe: cannot load '%s' as a shared library: %s\n", opt.module, dlerror());
        return 1;
    }

    std::printf("module %s\n", opt.module);
    if (opt.call) std::printf("  %-24s %-9s %-28s %s\n", "entry point", "resolved", "null arguments", "canary buffers");

    int resolved = 0;
    int failures = 0;
    for (const EntryPoint& ep : kEntryPoints) {
        void* fn = dlsym(handle, ep.name);
        if (!fn) {
            std::printf("  %-24s %s\n", ep.name, "MISSING");
            std::fprintf(stderr, "zqso-probe: '%s' has no entry point %s\n", opt.module, ep.name);
            ++failures;
            continue;
        }
        ++resolved;
        if (!opt.call) {
            std::printf("  %-24s %s\n", ep.name, "resolved");
            continue;
        }
        const std::string with_nulls = call_isolated(ep, fn, false);
        const std::string with_canaries = call_isolated(ep, fn, true);
        std::printf("  %-24s %-9s %-28s %s\n", ep.name, "yes", with_nulls.empty() ? "ok" : with_nulls.c_str(),
                    with_canaries.empty() ? "ok" : with_canaries.c_str());
        if (!with_nulls.empty() || !with_canaries.empty()) ++failures;
    }

    const int total = static_cast<int>(kEntryPointCount);
    if (failures == 0) {
        std::printf("PASS: %d of %d entry points resolved%s\n", resolved, total,
                    opt.call ? "; each answered as expected and left every buffer unchanged" : "");
        return 0;
    }
    std::printf("FAIL: %d of %d entry points resolved; %d failed\n", resolved, total, failures);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--call") {
            opt.call = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error(("unknown option '" + arg + "'").c_str());
        } else if (opt.module) {
            return usage_error("give exactly one MODULE");
        } else {
            opt.module = argv[i];
        }
    }
    if (!opt.module) return usage_error("no MODULE given");
    return probe(opt);
}
