#include "backup/recovery_source.h"

namespace dunmere {

Status CLocalBuckupRecovery::Attach(void* context) {
  engine_ = static_cast<CBackupEngine*>(context);
  return kOk;
}

Status CLocalBuckupRecovery::SetProgressCallback(ProgressCallback callback, void* user) {
  engine_->SetProgressCallback(callback, user);
  return kOk;
}

}  // namespace dunmere
