#include "batch/batch_runner.hpp"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "jobfile/toml_job.hpp"
#include "services/paths.hpp"

extern char** environ;

namespace soilcal::batch {
namespace {

using Clock = std::chrono::steady_clock;

// Signals the batch received (SIGINT, SIGTERM, SIGHUP): the last one and a
// count. A hang-up (the terminal or SSH session closed) is taken as SIGTERM:
// the jobs end as aborted runs and the summary is written all the same.
std::atomic<int> batchSignal{0};
std::atomic<int> batchSignals{0};

extern "C" void OnBatchSignal(int signo) {
  batchSignal.store(signo == SIGHUP ? SIGTERM : signo);
  batchSignals.fetch_add(1);
}

class SignalScope {
 public:
  SignalScope() {
    batchSignal.store(0);
    batchSignals.store(0);
    struct sigaction action {};
    action.sa_handler = OnBatchSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
    sigaction(SIGHUP, &action, &oldHup_);
    // With the terminal gone, a line to standard output must not end the
    // batch before its summary is written.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &oldPipe_);
  }
  ~SignalScope() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
    sigaction(SIGHUP, &oldHup_, nullptr);
    sigaction(SIGPIPE, &oldPipe_, nullptr);
  }
  SignalScope(const SignalScope&) = delete;
  SignalScope& operator=(const SignalScope&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
  struct sigaction oldHup_ {};
  struct sigaction oldPipe_ {};
};

// A job that has not ended this long after the batch passed on an
// interrupt is killed with its process group.
constexpr auto kGraceAfterInterrupt = std::chrono::seconds(60);

// Everything a child needs, made before fork: after it only system calls.
struct ChildLaunch {
  std::vector<std::string> args;
  std::vector<char*> argv;
  std::vector<std::string> env;
  std::vector<char*> envp;
  std::string log;

  ChildLaunch(const BatchRunSettings& settings, const BatchJob& job) : log(job.logPath) {
    args.push_back(settings.program);
    args.insert(args.end(), settings.childOptions.begin(), settings.childOptions.end());
    args.push_back("--exit-status");
    args.push_back(job.path);
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
      if (std::strncmp(*e, "OMP_NUM_THREADS=", 16) != 0) env.emplace_back(*e);
    }
    env.emplace_back("OMP_NUM_THREADS=1");
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
  }
};

// In the child: its own process group (a Ctrl-C at the terminal reaches
// the batch, which passes it on once), no input, its output into the log.
[[noreturn]] void BecomeJob(const ChildLaunch& launch) {
  ::setpgid(0, 0);
  const int null = ::open("/dev/null", O_RDONLY);
  if (null >= 0) ::dup2(null, STDIN_FILENO);
  int log = ::open(launch.log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (log < 0) log = ::open("/dev/null", O_WRONLY);
  if (log >= 0) {
    ::dup2(log, STDOUT_FILENO);
    ::dup2(log, STDERR_FILENO);
  }
  ::execve("/proc/self/exe", launch.argv.data(), launch.envp.data());
  static constexpr char kFailed[] = "soilcal: the batch could not start the program\n";
  [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kFailed, sizeof kFailed - 1);
  ::_exit(127);
}

// The output folder of a TOML job does not exist before its first run; its
// log goes there all the same. A job file in a folder that does not exist
// makes no folder (its run reports the missing file).
void MakeOutputFolder(const BatchJob& job) {
  if (!jobfile::IsTomlJob(job.path)) return;
  const std::string parent = services::FolderOf(job.path);
  std::error_code ec;
  if (!parent.empty() && !std::filesystem::is_directory(services::ResolvePath(parent), ec)) return;
  std::filesystem::create_directories(services::ResolvePath(job.outputFolder), ec);
}

// The output folder as one spelling, so that two paths to one folder match.
std::string FolderKey(const BatchJob& job) {
  std::error_code ec;
  const std::filesystem::path folder(
      services::ResolvePath(job.outputFolder.empty() ? "./" : job.outputFolder));
  const auto canonical = std::filesystem::weakly_canonical(folder, ec);
  return ec ? folder.string() : canonical.string();
}

struct Running {
  std::size_t job;
  Clock::time_point start;
  std::string folder;
};

}  // namespace

int AvailableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

void RunChildren(const BatchRunSettings& settings, std::vector<BatchJob>& jobs,
                 const std::function<void(const BatchJob&)>& finished) {
  SignalScope signals;
  std::map<pid_t, Running> running;
  std::set<std::string> busyFolders;
  std::vector<std::string> folders;
  for (const BatchJob& job : jobs) folders.push_back(FolderKey(job));
  std::size_t next = 0;
  int forwarded = 0;  // signals of the batch passed on so far
  std::optional<Clock::time_point> interruptedAt;
  bool killed = false;

  // The first job not started whose folder no running job writes to.
  auto startable = [&]() -> std::optional<std::size_t> {
    for (std::size_t k = next; k < jobs.size(); ++k) {
      if (!jobs[k].started && !busyFolders.count(folders[k])) return k;
    }
    return std::nullopt;
  };

  for (;;) {
    while (batchSignals.load() == 0 && static_cast<int>(running.size()) < settings.parallel) {
      const auto k = startable();
      if (!k) break;
      BatchJob& job = jobs[*k];
      MakeOutputFolder(job);
      const ChildLaunch launch(settings, job);
      job.started = true;
      job.startedAt = std::chrono::duration<double>(
                          std::filesystem::file_time_type::clock::now().time_since_epoch())
                          .count();
      const auto start = Clock::now();
      const pid_t pid = ::fork();
      if (pid == 0) BecomeJob(launch);
      // Set on both sides, so a signal passed on at once finds the group.
      if (pid > 0) ::setpgid(pid, pid);
      if (pid < 0) {
        job.finished = true;
        job.status = 127;
        finished(job);
        continue;
      }
      busyFolders.insert(folders[*k]);
      running.emplace(pid, Running{*k, start, folders[*k]});
      while (next < jobs.size() && jobs[next].started) ++next;
    }
    if (running.empty()) return;

    // An interrupt of the batch goes to every running job's process group,
    // once per signal; a job still there after the grace time is killed.
    if (const int seen = batchSignals.load(); seen > forwarded) {
      forwarded = seen;
      if (!interruptedAt) interruptedAt = Clock::now();
      for (auto& [pid, r] : running) ::kill(-pid, batchSignal.load());
    }
    if (interruptedAt && !killed && Clock::now() - *interruptedAt > kGraceAfterInterrupt) {
      killed = true;
      for (auto& [pid, r] : running) ::kill(-pid, SIGKILL);
    }

    int status = 0;
    const pid_t pid = ::waitpid(-1, &status, WNOHANG);
    if (pid <= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    const auto it = running.find(pid);
    if (it == running.end()) continue;
    BatchJob& job = jobs[it->second.job];
    job.finished = true;
    job.wallSeconds = std::chrono::duration<double>(Clock::now() - it->second.start).count();
    if (WIFEXITED(status)) {
      job.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
      job.signal = WTERMSIG(status);
      job.status = 128 + job.signal;
    }
    busyFolders.erase(it->second.folder);
    running.erase(it);
    finished(job);
  }
}

}  // namespace soilcal::batch
