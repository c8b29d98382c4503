// A fault sweep of the upload: a run session of the sample MIDlet with its LIBlet against the
// module simulator, once for every OBEX request of that session and every way the link can fail
// there (the link drops, the module falls silent, the answer misstates its length). Each faulted
// session must end with the code of the step that failed, in bounded time, with every port
// connection closed and nothing partial in the flash; a good session on the same module afterwards
// must leave the flash exactly as it was before the faulted one.
//
// The sessions wait on fixed protocol time-outs (up to 40 s for an unanswered request), not on the
// processor, so they run side by side: MODLINK_SWEEP_JOBS sets how many (default 26).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/env.h"
#include "platform/process.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The longest wait a single failed request may cost: an unanswered request (40 s), the
// DISCONNECT that follows a link failure (3 s), and the escape guard times. A faulted session may
// take that much longer than a good one, plus slack for a loaded machine.
constexpr double kFaultAllowanceSeconds = 40 + 3 + 2.4 + 25;
// A session still running after this long hangs; it is ended so the sweep goes on.
constexpr int kHangLimitMs = 180000;

const char* const kUploaded[] = {"calc.jad", "calc.jar", "mathlib.jad", "mathlib.jar"};

fs::path Toolkit() { return fs::path(MODLINK_BINARY_DIR) / "testkit" / "toolkit"; }
fs::path Simulator() { return fs::path(MODLINK_BINARY_DIR) / "bin" / "modsim"; }
fs::path Jad() { return Toolkit() / "apps" / "calc" / "calc.jad"; }

int StatusOf(int code) { return (-code) & 0xFF; }

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (ec) break;
        if (it->is_regular_file()) files[fs::relative(it->path(), folder).string()] = ReadAll(it->path());
    }
    return files;
}

std::string Describe(const std::map<std::string, std::string>& files) {
    std::string text;
    for (const auto& [name, content] : files) text += " " + name + "(" + std::to_string(content.size()) + ")";
    return text.empty() ? " (empty)" : text;
}

// One simulated module on a free 127.0.0.1 port with a flash and a transcript of its own, and a
// configuration folder whose modem is attached to it.
class Module {
public:
    Module(const fs::path& scratch, const std::vector<std::string>& extra) : scratch_(scratch) {
        fs::create_directories(Flash() / "A");
        fs::create_directories(scratch_ / "cfg");
        fs::create_directories(scratch_ / "sys");
        fs::create_directories(scratch_ / "tmp");
        Write(Flash() / "A" / "keep.txt", "the module's own file\n");
        platform::ProcessOptions options;
        options.arguments = {Simulator().string(), "--listen", "127.0.0.1:0", "--flash", Flash().string(),
                             "--transcript", (scratch_ / "transcript.txt").string()};
        options.arguments.insert(options.arguments.end(), extra.begin(), extra.end());
        options.output = platform::ChildOutput::Pipe;
        options.inheritInput = false;
        int error = 0;
        process_ = platform::Process::Start(options, &error);
        if (!process_) return;
        reader_ = std::thread([this] {
            char buffer[512];
            for (long n; (n = process_->ReadOutput(buffer, sizeof(buffer))) > 0;) {
                std::lock_guard<std::mutex> lock(mutex_);
                output_.append(buffer, static_cast<std::size_t>(n));
            }
        });
        for (int i = 0; i < 500 && url_.empty(); ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                std::size_t at = output_.find("rfc2217://");
                if (at != std::string::npos && output_.find('\n', at) != std::string::npos) {
                    url_ = output_.substr(at, output_.find_first_of("\r\n", at) - at);
                }
            }
            if (url_.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Write(scratch_ / "cfg" / "rasphone.pbk",
              "[IP connection for remote debugging of QREx]\r\nDevice=Module Simulator\r\nPhoneNumber=*99***1#\r\n"
              "ConnectBPS=115200\r\n");
        Write(scratch_ / "cfg" / "modems.ini",
              "[Module Simulator]\r\nAttachedTo=" + url_ + "\r\nMaximumPortSpeed=115200\r\n");
    }

    ~Module() {
        if (process_) {
            process_->Terminate(0);
            int code = 0;
            process_->Wait(5000, &code);
        }
        if (reader_.joinable()) reader_.join();
    }

    bool Started() const { return !url_.empty(); }
    fs::path Flash() const { return scratch_ / "flash"; }

    std::vector<std::string> Transcript() const {
        std::vector<std::string> lines;
        std::istringstream text(ReadAll(scratch_ / "transcript.txt"));
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }

    // Port connections the simulator saw opened and not yet closed; waits a moment for closes
    // that are still on their way.
    int OpenConnections() const {
        int open = 0;
        for (int i = 0; i < 40; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                open = Count(output_, "modsim: connected\n") - Count(output_, "modsim: disconnected\n");
            }
            if (open == 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return open;
    }

    struct Run {
        int status = -1;
        double seconds = 0;
        bool hung = false;
        std::string output;
        bool sawStart = false;                        // the program start reached the module
        std::map<std::string, std::string> atStart;   // the flash at that moment
    };

    // A run session of the sample MIDlet; the flash is caught the moment the program starts.
    Run RunSession() {
        Run run;
        platform::ProcessOptions options;
        options.arguments = {(Toolkit() / "bin" / "emulator").string(), "-Xdescriptor:" + Jad().string()};
        options.environment = platform::EnvironmentBlock();
        options.environment["MODLINK_CONFIG_DIR"] = (scratch_ / "cfg").string();
        options.environment["MODLINK_SYSFS"] = (scratch_ / "sys").string();
        options.environment["TMPDIR"] = (scratch_ / "tmp").string();
        options.replaceEnvironment = true;
        options.output = platform::ChildOutput::Pipe;
        options.inheritInput = false;
        std::size_t startsBefore = Starts();
        auto begin = Clock::now();
        int error = 0;
        auto emulator = platform::Process::Start(options, &error);
        if (!emulator) return run;
        std::thread reader([&] {
            char buffer[1024];
            for (long n; (n = emulator->ReadOutput(buffer, sizeof(buffer))) > 0;) {
                run.output.append(buffer, static_cast<std::size_t>(n));
            }
        });
        int code = -1;
        while (!emulator->Wait(10, &code)) {
            if (!run.sawStart && Starts() > startsBefore) {
                run.atStart = Snapshot(Flash());
                run.sawStart = true;
            }
            if (Clock::now() - begin > std::chrono::milliseconds(kHangLimitMs)) {
                run.hung = true;
                emulator->Terminate(99);
                emulator->Wait(5000, &code);
                break;
            }
        }
        run.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        reader.join();
        if (!run.sawStart && Starts() > startsBefore) run.sawStart = true; // started, flash not caught
        run.status = code;
        return run;
    }

private:
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
    std::size_t Starts() const {
        std::size_t n = 0;
        for (const std::string& line : Transcript()) n += line.rfind("at^kjra", 0) == 0;
        return n;
    }

    fs::path scratch_;
    std::unique_ptr<platform::Process> process_;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::string output_;
    std::string url_;
};

// The OBEX requests in a transcript, in order.
std::vector<std::string> Requests(const std::vector<std::string>& transcript) {
    std::vector<std::string> requests;
    for (const std::string& line : transcript) {
        if (line.rfind("OBEX ", 0) == 0 && line != "OBEX +++" && line != "OBEX incomplete packet") {
            requests.push_back(line);
        }
    }
    return requests;
}

std::string NameIn(const std::string& request) {
    std::size_t at = request.find("name=\"");
    if (at == std::string::npos) return "";
    at += 6;
    return request.substr(at, request.find('"', at) - at);
}

// The code a session must end with when request n (0-based) of a good session fails. A request
// serves the emulator's next file operation: CONNECT and listings belong to the PUT that follows
// them. A failed delete before an upload is ignored (the file may not be there); a failed upload
// (its existence check, its data, or its permissions) ends the session with the upload's code;
// the DISCONNECT at the end of the upload and everything of the clean-up are not checked.
int ExpectedCode(const std::vector<std::string>& requests, std::size_t n) {
    std::size_t firstDisconnect = requests.size();
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (requests[i].rfind("OBEX DISCONNECT", 0) == 0) {
            firstDisconnect = i;
            break;
        }
    }
    if (n >= firstDisconnect) return 0;
    std::size_t owner = n;
    while (owner < firstDisconnect && requests[owner].rfind("OBEX PUT", 0) != 0) ++owner;
    if (owner == firstDisconnect) return 0;
    const std::string& put = requests[owner];
    bool upload = put.find(" length=") != std::string::npos || put.find(" parameters=") != std::string::npos;
    if (!upload) return 0;
    return NameIn(put).rfind("calc.", 0) == 0 ? 513 : 528;
}

// The uploaded file a faulted session may leave in the module: only a file whose own clean-up
// delete the fault hit (the clean-up does not check its deletes); every other one goes again.
std::string MayRemain(const std::vector<std::string>& requests, std::size_t n) {
    std::size_t firstDisconnect = 0;
    while (firstDisconnect < requests.size() && requests[firstDisconnect].rfind("OBEX DISCONNECT", 0) != 0) {
        ++firstDisconnect;
    }
    if (n <= firstDisconnect) return "";
    std::size_t owner = n;
    while (owner < requests.size() && requests[owner].rfind("OBEX PUT", 0) != 0) ++owner;
    return owner < requests.size() ? NameIn(requests[owner]) : "";
}

struct Job {
    std::string kind;
    std::size_t at = 0; // 1-based request number
    int expected = 0;
    std::string request;
    std::string mayRemain;
};

struct Outcome {
    Job job;
    double seconds = 0;
    std::vector<std::string> problems;
};

class UploadFaultSweep : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(Jad()) || !fs::exists(Toolkit() / "apps" / "calc" / "mathlib.jar") || !fs::exists(Simulator()) ||
            !fs::exists(Toolkit() / "bin" / "emulator")) {
            GTEST_SKIP() << "the sample toolkit, the emulator or modsim is not built";
        }
        std::random_device random;
        root_ = fs::temp_directory_path() / ("upload-sweep-" + std::to_string(random()));
        fs::create_directories(root_);
        for (const char* name : kUploaded) local_[name] = ReadAll(Toolkit() / "apps" / "calc" / name);
    }
    void TearDown() override {
        std::error_code ec;
        if (!root_.empty()) fs::remove_all(root_, ec);
    }

    // Files in the flash that are neither the module's own nor a whole uploaded file.
    std::vector<std::string> PartialFiles(const std::map<std::string, std::string>& flash,
                                          const std::map<std::string, std::string>& before) const {
        std::vector<std::string> partial;
        for (const auto& [path, content] : flash) {
            auto own = before.find(path);
            if (own != before.end() && own->second == content) continue;
            std::string name = fs::path(path).filename().string();
            auto local = local_.find(name);
            if (local == local_.end() || local->second != content || fs::path(path).parent_path() != "A") {
                partial.push_back(path + " (" + std::to_string(content.size()) + " bytes)");
            }
        }
        return partial;
    }

    Outcome RunOne(const Job& job, std::size_t index) {
        Outcome outcome{job, 0, {}};
        auto problem = [&](const std::string& text) { outcome.problems.push_back(text); };
        Module module(root_ / std::to_string(index), {"--fault", job.kind, "--fault-at", std::to_string(job.at)});
        if (!module.Started()) {
            problem("the simulator did not start");
            return outcome;
        }
        auto before = Snapshot(module.Flash());
        Module::Run faulted = module.RunSession();
        outcome.seconds = faulted.seconds;
        if (faulted.hung) problem("hangs: still running after " + std::to_string(kHangLimitMs / 1000) + " s");
        if (faulted.status != StatusOf(job.expected)) {
            problem("exit status " + std::to_string(faulted.status) + ", expected " + std::to_string(StatusOf(job.expected)) +
                    " (code " + std::to_string(job.expected) + ")");
        }
        bool aborted = faulted.output.find("File upload and debugging are aborted!") != std::string::npos;
        if (aborted != (job.expected != 0)) problem(aborted ? "reports an abort" : "reports no abort");
        if (faulted.seconds > baselineSeconds_ + kFaultAllowanceSeconds) {
            problem("took " + std::to_string(faulted.seconds) + " s (a good session takes " +
                    std::to_string(baselineSeconds_) + " s)");
        }
        if (job.expected == 0) {
            // Success must mean the program was started on whole files.
            if (!faulted.sawStart) problem("ends with 0 but never started the program");
            for (const char* name : kUploaded) {
                auto it = faulted.atStart.find(std::string("A/") + name);
                if (faulted.sawStart && (it == faulted.atStart.end() || it->second != local_.at(name))) {
                    problem(std::string("started the program without a whole ") + name);
                }
            }
        } else if (faulted.sawStart) {
            problem("started the program after a failed upload");
        }
        if (int open = module.OpenConnections(); open != 0) problem("left " + std::to_string(open) + " port connection(s) open");
        auto left = Snapshot(module.Flash());
        for (const std::string& file : PartialFiles(left, before)) problem("partial file left: " + file);
        for (const char* name : kUploaded) {
            if (left.count(std::string("A/") + name) != 0 && job.mayRemain != name) {
                problem(std::string("the clean-up left ") + name + " in the module");
            }
        }

        Module::Run good = module.RunSession();
        if (good.status != 0) problem("the following good session ended with status " + std::to_string(good.status));
        auto after = Snapshot(module.Flash());
        if (after != before) problem("flash after the following good session:" + Describe(after) + ", before:" + Describe(before));
        if (!outcome.problems.empty()) {
            problem("emulator output of the faulted session:\n" + faulted.output);
        }
        return outcome;
    }

    fs::path root_;
    std::map<std::string, std::string> local_;
    double baselineSeconds_ = 0;
};

} // namespace

TEST_F(UploadFaultSweep, EveryRequestOfTheUploadAndCleanUpSurvivesADropSilenceAndAWrongLength) {
    auto sweepStart = Clock::now();
    // A good session tells which requests there are and how long a session takes.
    std::vector<std::string> requests;
    {
        Module module(root_ / "baseline", {});
        ASSERT_TRUE(module.Started());
        auto before = Snapshot(module.Flash());
        Module::Run baseline = module.RunSession();
        ASSERT_EQ(baseline.status, 0) << baseline.output;
        ASSERT_EQ(Snapshot(module.Flash()), before);
        baselineSeconds_ = baseline.seconds;
        requests = Requests(module.Transcript());
    }
    ASSERT_GE(requests.size(), 10u);

    std::vector<Job> jobs;
    // The kinds that wait for a time-out go first, so the short ones fill the gaps at the end.
    for (const char* kind : {"silent", "badlength", "drop"}) {
        for (std::size_t n = 0; n < requests.size(); ++n) {
            jobs.push_back(Job{kind, n + 1, ExpectedCode(requests, n), requests[n], MayRemain(requests, n)});
        }
    }
    const char* setting = std::getenv("MODLINK_SWEEP_JOBS");
    int workers = setting ? std::max(1, std::atoi(setting)) : 26;
    std::vector<Outcome> outcomes(jobs.size());
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> pool;
    for (int w = 0; w < workers; ++w) {
        pool.emplace_back([&] {
            for (std::size_t i; (i = next++) < jobs.size();) outcomes[i] = RunOne(jobs[i], i);
        });
    }
    for (std::thread& t : pool) t.join();
    double total = std::chrono::duration<double>(Clock::now() - sweepStart).count();

    std::map<std::string, double> longest;
    for (const Outcome& o : outcomes) {
        longest[o.job.kind] = std::max(longest[o.job.kind], o.seconds);
        for (const std::string& p : o.problems) {
            ADD_FAILURE() << "--fault " << o.job.kind << " --fault-at " << o.job.at << " [" << o.job.request << "]: " << p;
        }
    }
    std::printf("upload fault sweep: %zu requests, %zu faulted runs (+%zu good sessions), %d at a time, %.1f s in all; "
                "good session %.1f s; longest faulted run: drop %.1f s, silent %.1f s, badlength %.1f s\n",
                requests.size(), jobs.size(), jobs.size() + 1, workers, total, baselineSeconds_, longest["drop"],
                longest["silent"], longest["badlength"]);
}
