#include "web/runs.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <nlohmann/json.hpp>

extern char** environ;

namespace soilcal::web {
namespace {

constexpr std::string_view kBestCurves = "{\"type\":\"best_curves\"";
constexpr std::string_view kSuperseded = "{\"type\":\"superseded\"}";

long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start)
      .count();
}

long long UnixMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A line of the run as an event: the progress lines and the curves of the
// search (--progress=curves) as they are, with the time since the start and
// the clock time the server read them (for what a page can measure of the
// delay); the rest as text.
std::string LineEvent(const std::string& line, long long elapsedMs) {
  for (const std::string_view kind : {"progress", "best_curves", "measured_curves"}) {
    const std::string prefix = "{\"" + std::string(kind) + "\":";
    if (line.rfind(prefix, 0) == 0 && line.back() == '}') {
      return "{\"type\":\"" + std::string(kind) + "\",\"elapsed_ms\":" +
             std::to_string(elapsedMs) + ",\"at_ms\":" + std::to_string(UnixMs()) + "," +
             line.substr(1);
    }
  }
  return nlohmann::json{{"type", "message"}, {"text", line}}.dump(-1, ' ', false,
                                                                    nlohmann::json::error_handler_t::replace);
}

}  // namespace

RunManager::RunManager(std::string program, int maxRuns)
    : program_(std::move(program)), maxRuns_(maxRuns > 0 ? maxRuns : 1) {}

RunManager::~RunManager() { StopAll(); }

StartResult RunManager::Start(const std::string& key, const std::filesystem::path& job,
                              const std::string& search, int threads) {
  std::unique_lock lock(mutex_);
  int running = 0;
  for (auto& [name, run] : runs_) {
    if (!run->ended) {
      if (name == key) return StartResult::kAlreadyRunning;
      ++running;
    }
  }
  if (running >= maxRuns_) return StartResult::kTooManyRuns;

  // Everything the child needs is made before the fork.
  std::vector<std::string> args = {program_, "--progress=curves", "--exit-status",
                                   search == "thorough" ? "--search=thorough" : "--search=default",
                                   job.string()};
  std::vector<std::string> env;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    if (threads <= 0 || std::strncmp(*e, "OMP_NUM_THREADS=", 16) != 0) env.emplace_back(*e);
  }
  if (threads > 0) env.push_back("OMP_NUM_THREADS=" + std::to_string(threads));
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return StartResult::kCannotStart;
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return StartResult::kCannotStart;
  }
  if (pid == 0) {
    // Its own process group: Ctrl-C at the terminal reaches the server,
    // which interrupts each run itself.
    setpgid(0, 0);
    // The server's blocked and ignored signals are not the run's.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) dup2(devNull, 0);
    dup2(pipeFds[1], 1);
    dup2(pipeFds[1], 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(pipeFds[1]);
  auto run = std::make_shared<Run>();
  run->pid = pid;
  run->fd = pipeFds[0];
  run->start = std::chrono::steady_clock::now();
  run->events.push_back(nlohmann::json{{"type", "start"}, {"search", search}, {"threads", threads}}.dump());
  auto old = runs_.find(key);
  if (old != runs_.end() && old->second->reader.joinable()) {
    std::thread finished = std::move(old->second->reader);
    lock.unlock();
    finished.join();  // its run has ended: only the last lines are left
    lock.lock();
  }
  runs_[key] = run;
  run->reader = std::thread(&RunManager::Read, this, run);
  changed_.notify_all();
  return StartResult::kStarted;
}

void RunManager::Add(Run& run, std::string event) {
  std::lock_guard lock(mutex_);
  // Only the latest best curves are kept: a page that comes later draws
  // those, and a long run does not pile up curves in memory.
  if (event.rfind(kBestCurves, 0) == 0) {
    if (run.lastCurves < run.events.size()) run.events[run.lastCurves] = kSuperseded;
    run.lastCurves = run.events.size();
  }
  run.events.push_back(std::move(event));
  changed_.notify_all();
}

void RunManager::Read(std::shared_ptr<Run> run) {
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(run->fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t eol;
    while ((eol = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, eol);
      pending.erase(0, eol + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) Add(*run, LineEvent(line, MillisecondsSince(run->start)));
    }
  }
  if (!pending.empty()) Add(*run, LineEvent(pending, MillisecondsSince(run->start)));
  close(run->fd);
  int status = 0;
  while (waitpid(run->pid, &status, 0) < 0 && errno == EINTR) {
  }
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const int signo = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  std::lock_guard lock(mutex_);
  run->events.push_back(nlohmann::json{{"type", "end"},
                                       {"exit_code", code},
                                       {"signal", signo},
                                       {"elapsed_ms", MillisecondsSince(run->start)}}
                            .dump());
  run->ended = true;
  changed_.notify_all();
}

bool RunManager::Running(const std::string& key) {
  std::lock_guard lock(mutex_);
  const auto found = runs_.find(key);
  return found != runs_.end() && !found->second->ended;
}

bool RunManager::EventsSince(const std::string& key, std::size_t from,
                             std::chrono::milliseconds wait, std::vector<std::string>& events,
                             bool& ended) {
  std::unique_lock lock(mutex_);
  const auto found = runs_.find(key);
  if (found == runs_.end()) return false;
  std::shared_ptr<Run> run = found->second;
  changed_.wait_for(lock, wait, [&] { return run->events.size() > from || run->ended; });
  for (std::size_t i = from; i < run->events.size(); ++i) events.push_back(run->events[i]);
  ended = run->ended;
  return true;
}

void RunManager::StopAll() {
  std::vector<std::shared_ptr<Run>> all;
  {
    std::lock_guard lock(mutex_);
    for (auto& [name, run] : runs_) {
      if (!run->ended) kill(run->pid, SIGINT);
      all.push_back(run);
    }
  }
  for (auto& run : all) {
    if (run->reader.joinable()) run->reader.join();
  }
}

}  // namespace soilcal::web
