#pragma once
// The one interface through which every scan, preview and export reads device data, whether it comes
// from a backup folder (CLocalBuckupRecovery) or from a connected device. The operations keep their
// slot order.
#include <filesystem>
#include <cstdint>
#include <string>
#include <vector>

#include "backup/backup_engine.h"
#include "backup/progress.h"
#include "categories/category_records.h"

namespace dunmere {

class IPhoneRecoveryParse {
 public:
  virtual Status Attach(void* context) = 0;                                                  // 0
  virtual Status SetProgressCallback(ProgressCallback callback, void* user) = 0;             // 1
  virtual Status Reserved(std::intptr_t value) = 0;                                          // 2
  virtual Status IsLocalSource(std::intptr_t value) = 0;                                     // 3
  virtual Status Open(const std::string& password) = 0;                                      // 4
  virtual Status ScanMessages(ConversationMap& out) = 0;                                     // 5
  virtual Status ScanMessageAttachments(std::vector<AttachmentFileRecord>& out) = 0;         // 6
  virtual Status ScanContacts(std::vector<ContactRecord>& out) = 0;                          // 7
  virtual Status ScanNotes(std::vector<NoteRecord>& out) = 0;                                // 8
  virtual Status ScanCallHistory(std::vector<CallRecord>& out) = 0;                          // 9
  virtual Status ScanCameraRollAndPhotoStream(std::vector<MediaFileRecord>& cameraRoll,
                                              std::vector<MediaFileRecord>& photoStream) = 0;  // 10
  virtual Status GetWhatsAppAttachments(std::vector<MediaFileRecord>& out) = 0;              // 11
  virtual Status ScanAppMedia(std::vector<AppMediaRecord>& out) = 0;                         // 12
  virtual Status ScanQQ(ChatConversationMap& out) = 0;                                       // 13
  virtual Status ScanMMChats(ChatConversationMap& out) = 0;                                  // 14
  virtual Status ScanWhatsApp(WhatsAppChatMap& out) = 0;                                     // 15
  virtual Status MakePreviewCopy(const std::filesystem::path& source, std::filesystem::path& output,
                                 ProgressCallback callback, void* user) = 0;                  // 16
  virtual Status CopyOut(const std::filesystem::path& source, const std::filesystem::path& destination,
                         CopyCallback callback, void* user) = 0;                             // 17
  virtual Status ExportMessagesCsv(const std::filesystem::path& output) = 0;                 // 18
  virtual Status ExportContactsCsv(const std::filesystem::path& output) = 0;                 // 19
  virtual Status ExportWhatsAppText(std::int32_t chatId, const std::filesystem::path& output, ProgressCallback callback,
                                    void* user) = 0;                                         // 20
  virtual Status ExportQQText(const std::string& key, const std::string& owner, const std::filesystem::path& output,
                              ProgressCallback callback, void* user) = 0;                    // 21
  virtual Status ExportMMChatText(const std::string& key, const std::string& owner, const std::filesystem::path& output,
                                  ProgressCallback callback, void* user) = 0;                // 22
  virtual ~IPhoneRecoveryParse() = default;                                                  // 23
};

// The data source of a backup on disk: forwards every operation to the engine it is attached to
// (which it does not own).
class CLocalBuckupRecovery : public IPhoneRecoveryParse {
 public:
  Status Attach(void* context) override;
  Status SetProgressCallback(ProgressCallback callback, void* user) override;
  Status Reserved(std::intptr_t) override { return kOk; }
  Status IsLocalSource(std::intptr_t) override { return 1; }
  Status Open(const std::string& password) override { return engine_->Open(password); }
  Status ScanMessages(ConversationMap& out) override { return engine_->ScanMessages(out); }
  Status ScanMessageAttachments(std::vector<AttachmentFileRecord>& out) override {
    return engine_->ScanMessageAttachments(out);
  }
  Status ScanContacts(std::vector<ContactRecord>& out) override { return engine_->ScanContacts(out); }
  Status ScanNotes(std::vector<NoteRecord>& out) override { return engine_->ScanNotes(out); }
  Status ScanCallHistory(std::vector<CallRecord>& out) override { return engine_->ScanCallHistory(out); }
  Status ScanCameraRollAndPhotoStream(std::vector<MediaFileRecord>& cameraRoll,
                                      std::vector<MediaFileRecord>& photoStream) override {
    return engine_->ScanCameraRollAndPhotoStream(cameraRoll, photoStream);
  }
  Status GetWhatsAppAttachments(std::vector<MediaFileRecord>& out) override {
    return engine_->GetWhatsAppAttachments(out);
  }
  Status ScanAppMedia(std::vector<AppMediaRecord>& out) override { return engine_->ScanAppMedia(out); }
  Status ScanQQ(ChatConversationMap& out) override { return engine_->ScanQQ(out); }
  Status ScanMMChats(ChatConversationMap& out) override { return engine_->ScanMMChats(out); }
  Status ScanWhatsApp(WhatsAppChatMap& out) override { return engine_->ScanWhatsApp(out); }
  Status MakePreviewCopy(const std::filesystem::path& source, std::filesystem::path& output, ProgressCallback callback,
                         void* user) override {
    return engine_->MakePreviewCopy(source, output, callback, user);
  }
  Status CopyOut(const std::filesystem::path& source, const std::filesystem::path& destination, CopyCallback callback,
                 void* user) override {
    return engine_->CopyOut(source, destination, callback, user);
  }
  Status ExportMessagesCsv(const std::filesystem::path& output) override { return engine_->ExportMessagesCsv(output); }
  Status ExportContactsCsv(const std::filesystem::path& output) override { return engine_->ExportContactsCsv(output); }
  Status ExportWhatsAppText(std::int32_t chatId, const std::filesystem::path& output, ProgressCallback callback,
                            void* user) override {
    return engine_->ExportWhatsAppText(chatId, output, callback, user);
  }
  Status ExportQQText(const std::string& key, const std::string& owner, const std::filesystem::path& output,
                      ProgressCallback callback, void* user) override {
    return engine_->ExportChatText(engine_->qqMap, key, owner, output, callback, user);
  }
  Status ExportMMChatText(const std::string& key, const std::string& owner, const std::filesystem::path& output,
                          ProgressCallback callback, void* user) override {
    return engine_->ExportChatText(engine_->mmChatMap, key, owner, output, callback, user);
  }

 private:
  CBackupEngine* engine_ = nullptr;
};

}  // namespace dunmere
