#include "services/diag_buffer.hpp"

#include <cstdlib>

namespace soilcal::services {

DiagBuffer::DiagBuffer() : file_(::open_memstream(&data_, &size_)) {
  if (file_ != nullptr) {
    channel_.Attach(file_, false);
    redirect_.emplace(channel_);
  }
}

DiagBuffer::~DiagBuffer() {
  Close();
  std::free(data_);  // open_memstream's buffer
}

std::string DiagBuffer::Take() {
  Close();
  return data_ != nullptr ? std::string(data_, size_) : std::string();
}

void DiagBuffer::Close() {
  redirect_.reset();
  channel_.Detach();
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

}  // namespace soilcal::services
