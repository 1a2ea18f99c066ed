// Program Manager's server as the wizard meets it, the desktop's menu on:
// - ProgmanFirstAnswer: from starting the server on a machine of 20,000 groups whose menu has
//   not been made yet to the outcome of the first macro (target: under 0.5 s); stop_ms is the
//   time from a SIGTERM sent just after that answer, mid-mirror, to the server's end.
// - ProgmanConversations: 2,000 conversations of one macro each (an item added to or deleted
//   from one of 50 groups), against PeerConversationsNoMenu, the same run with the menu off
//   (ZEL_NO_DESKTOP=1; target: at most 1.5 times).
// Each reports the median of its rounds as median_ms.
#include "bench/bench_support.h"

#include "progman/store.h"
#include "winemu/host_file.h"
#include "winemu/progman_client.h"

#include <benchmark/benchmark.h>

#include <csignal>
#include <map>
#include <memory>
#include <thread>

namespace {

namespace fs = bench::fs;
using Clock = std::chrono::steady_clock;

constexpr int kFirstAnswerRounds = 7;
constexpr int kConversationRounds = 5;
constexpr int kConversations = 2000;
constexpr int kBlock = 50; // conversations a server has before the other's turn

// A machine whose store holds `groups` groups of `items` items, each with the kit's icon.
fs::path machine(const std::string& name, int groups, int items) {
    return bench::generated(name, [&](const fs::path& prefix) {
        fs::create_directories(prefix / "drive_c" / "ZEL");
        fs::copy_file(fs::path(ZEL_SOURCE_DIR) / "kit" / "UPDATE" / "ZELNET.ICO",
                      prefix / "drive_c" / "ZEL" / "ZELNET.ICO");
        std::vector<zel::progman::Group> all;
        for (int g = 0; g < groups; ++g) {
            zel::progman::Group group{"Grupo " + std::to_string(g), {}};
            for (int i = 0; i < items; ++i)
                group.items.push_back({"C:\\ZEL\\P" + std::to_string(i) + ".EXE",
                                       "Programa " + std::to_string(i), "C:\\ZEL\\ZELNET.ICO", 0});
            all.push_back(std::move(group));
        }
        zel::progman::saveStore(zel::progman::storePath(prefix), zel::progman::Groups(all));
    });
}

// A server on the machine, its menu under `desktop` or off.
class Server {
public:
    Server(const fs::path& prefix, const fs::path& desktop, bool menu) : prefix_(prefix) {
        std::vector<std::string> env = {"ZEL_PREFIX=" + prefix.string(), "ZEL_PROGMAN_IDLE=60",
                                        "XDG_DATA_HOME=" + (desktop / "data").string(),
                                        "XDG_CONFIG_HOME=" + (desktop / "config").string(),
                                        std::string("ZEL_NO_DESKTOP=") + (menu ? "0" : "1")};
        if (const char* home = std::getenv("HOME"))
            env.push_back(std::string("HOME=") + home);
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = (bench::programDir() / "progman").string();
        char* argv[] = {program.data(), nullptr};
        if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv, envp.data()) != 0)
            throw std::runtime_error("cannot start " + program);
    }
    ~Server() {
        if (pid_ > 0)
            stop();
    }

    // The outcome of one conversation of one macro; waits for the server to listen.
    bool converse(const std::string& macro) {
        std::optional<zel::FileDescriptor> socket;
        for (auto end = Clock::now() + std::chrono::seconds(30); !socket && Clock::now() < end;)
            if (!(socket = zel::connectToProgman(zel::progmanSocketPath(prefix_))))
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        char outcome = 0;
        return socket && zel::writeAll(socket->get(), *zel::macroPacket(macro)) &&
               ::recv(socket->get(), &outcome, 1, 0) == 1 && outcome == '+';
    }

    // Ends it by SIGTERM; the seconds it took.
    double stop() {
        const auto start = Clock::now();
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return std::chrono::duration<double>(Clock::now() - start).count();
    }

private:
    fs::path prefix_;
    pid_t pid_ = -1;
};

void ProgmanFirstAnswer(benchmark::State& state) {
    const fs::path prefix = machine("progman-20000", 20000, 1);
    const fs::path desktop = bench::DataDir::get() / "progman-desktop";
    std::vector<double> answers, stops;
    for (auto _ : state) {
        std::error_code ec;
        fs::remove_all(desktop, ec); // a menu not made yet
        const auto start = Clock::now();
        Server server(prefix, desktop, true);
        if (!server.converse("[CreateGroup(ZEL Internet)]")) {
            state.SkipWithError("no answer from progman");
            return;
        }
        answers.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        state.SetIterationTime(answers.back());
        stops.push_back(server.stop());
    }
    state.counters["median_ms"] = bench::median(answers) * 1e3;
    state.counters["stop_ms"] = bench::median(stops) * 1e3;
}

// Every run's rounds, measured once, on first use. The two servers run side by side on two
// copies of one machine, and take turns by blocks of conversations, so that a slow spell of the
// disk (each macro's store is synced) falls on both alike; a round's figure is the sum of its
// blocks. A block ends with its last answer: the menu's work after it is at most one group's.
std::map<bool, std::vector<double>>& conversationRounds() {
    static std::map<bool, std::vector<double>> rounds = [] {
        std::map<bool, std::vector<double>> seconds;
        std::map<bool, std::unique_ptr<Server>> servers;
        for (const bool menu : {true, false}) {
            const std::string name = menu ? "progman-50-menu" : "progman-50-plain";
            servers[menu] = std::make_unique<Server>(
                machine(name, 50, 10), bench::DataDir::get() / (name + "-desktop"), menu);
            if (!servers[menu]->converse("[ShowGroup(Grupo 0,1)]")) // it listens
                return std::map<bool, std::vector<double>>{};
        }
        for (int round = 0; round < kConversationRounds; ++round) {
            std::map<bool, double> sum;
            for (int block = 0; block < kConversations / kBlock; ++block) {
                for (const bool menu : {block % 2 == 0, block % 2 != 0}) {
                    const auto start = Clock::now();
                    for (int i = block * kBlock; i < (block + 1) * kBlock; ++i) {
                        const std::string macro =
                            "[ShowGroup(Grupo " + std::to_string(i / 2 % 50) + ",1)]" +
                            (i % 2 == 0 ? "[AddItem(C:\\ZEL\\EXTRA.EXE,Extra,C:\\ZEL\\ZELNET.ICO)]"
                                        : "[DeleteItem(Extra)]");
                        if (!servers[menu]->converse(macro))
                            return std::map<bool, std::vector<double>>{};
                    }
                    sum[menu] += std::chrono::duration<double>(Clock::now() - start).count();
                }
            }
            for (const auto& [menu, s] : sum)
                seconds[menu].push_back(s);
        }
        return seconds;
    }();
    return rounds;
}

void report(benchmark::State& state, bool menu) {
    const auto found = conversationRounds().find(menu);
    if (found == conversationRounds().end()) {
        state.SkipWithError("a macro was not stored");
        return;
    }
    std::size_t i = 0;
    for (auto _ : state)
        state.SetIterationTime(found->second[i++ % found->second.size()]);
    state.counters["median_ms"] = bench::median(found->second) * 1e3;
}

void ProgmanConversations(benchmark::State& state) {
    report(state, true);
}
void PeerConversationsNoMenu(benchmark::State& state) {
    report(state, false);
}

BENCHMARK(ProgmanFirstAnswer)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(kFirstAnswerRounds);
BENCHMARK(ProgmanConversations)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(kConversationRounds);
BENCHMARK(PeerConversationsNoMenu)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(kConversationRounds);

} // namespace

BENCHMARK_MAIN();
