// Internal to services: the message state of a run behind errors.hpp.
// It holds report texts only, never a number a simulation computes with.
#pragma once

#include <mutex>
#include <string>

namespace soilcal::services {

inline constexpr std::size_t kStatusTextLength = 255;
inline constexpr std::size_t kLastMessageLength = 1023;
inline constexpr std::size_t kExtraTextLength = 172;

struct MessageState {
  std::mutex mutex;
  std::string statusText = std::string(kStatusTextLength, ' ');
  std::string lastMessage;
  std::string projectBaseName;
  std::string recordFolder;
  int stopOnError = 0;
  int warnings = 0;
};

// The message state of the run bound to this thread.
MessageState& Messages();
void SetLastMessageText(const std::string& text);
int StopOnError();
int WarningCount();
std::string TrimRightBlanks(const std::string& text);

}  // namespace soilcal::services
