// Run errors and the message state of the run.
#include "services/errors.hpp"

#include <atomic>
#include <mutex>

#include "services/message_state.hpp"
#include "services/run_services.hpp"

namespace soilcal::services {

void StopWithError(int code) { throw RunError(code); }
void StopWithError(int code, std::string detail) { throw RunError(code, std::move(detail)); }

void SetVirtualLabMode(int flag) { CurrentServices().virtualLabMode.store(flag); }
int VirtualLabMode() { return CurrentServices().virtualLabMode.load(); }

MessageState& Messages() { return CurrentServices().messages; }

void InitMessageState() {
  MessageState& m = Messages();
  std::lock_guard lock(m.mutex);
  m.statusText.assign(kStatusTextLength, ' ');
  m.lastMessage.clear();
  m.projectBaseName.clear();
  m.recordFolder.clear();
  m.stopOnError = 0;
  m.warnings = 0;
}

std::string StatusText() {
  MessageState& m = Messages();
  std::lock_guard lock(m.mutex);
  return m.statusText;
}

std::string LastMessageText() {
  MessageState& m = Messages();
  std::lock_guard lock(m.mutex);
  return m.lastMessage;
}

void SetLastMessageText(const std::string& text) {
  MessageState& m = Messages();
  std::lock_guard lock(m.mutex);
  m.lastMessage = text.substr(0, kLastMessageLength);
}

void SetProjectBaseName(const std::string& name) {
  MessageState& m = Messages();
  std::lock_guard lock(m.mutex);
  m.projectBaseName = name;
}

void SetRecordFolder(const std::string& folder) {
  MessageState& m = Messages();
  std::lock_guard lock(m.mutex);
  m.recordFolder = folder;
}

std::string KernelRecordPath() {
  MessageState& m = Messages();
  std::lock_guard lock(m.mutex);
  const std::string base = TrimRightBlanks(m.projectBaseName);
  return (base.empty() ? m.recordFolder : base) + ".itp";
}

void SetStopOnError(int flag) {
  MessageState& m = Messages();
  std::lock_guard lock(m.mutex);
  m.stopOnError = flag;
}

int StopOnError() {
  MessageState& m = Messages();
  std::lock_guard lock(m.mutex);
  return m.stopOnError;
}

void CountWarning() {
  MessageState& m = Messages();
  std::lock_guard lock(m.mutex);
  ++m.warnings;
}

int WarningCount() {
  MessageState& m = Messages();
  std::lock_guard lock(m.mutex);
  return m.warnings;
}

std::string TrimRightBlanks(const std::string& text) {
  const auto end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace soilcal::services
