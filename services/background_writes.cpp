#include "services/background_writes.hpp"

#include <system_error>
#include <utility>

namespace soilcal::services {

BackgroundWrites::~BackgroundWrites() { Wait(); }

void BackgroundWrites::Start(std::string path, std::string text) {
  auto write = std::make_unique<Write>();
  write->path = std::move(path);
  write->text = std::move(text);
  Write* w = write.get();
  try {
    w->thread = std::thread([w] { w->status = WriteFileAtomically(w->path, w->text); });
  } catch (const std::system_error&) {
    w->status = WriteFileAtomically(w->path, w->text);
  }
  writes_.push_back(std::move(write));
}

std::vector<BackgroundWrites::Done> BackgroundWrites::Wait() {
  std::vector<Done> done;
  done.reserve(writes_.size());
  for (const auto& w : writes_) {
    if (w->thread.joinable()) w->thread.join();
    done.push_back({std::move(w->path), std::move(w->status)});
  }
  writes_.clear();
  return done;
}

}  // namespace soilcal::services
