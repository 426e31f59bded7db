#pragma once
// The data source of a connected device: the user databases fetched through the device's file-relay
// service (or file by file through its unrestricted file service), kept as local copies in the work
// folder and read by the same loaders as a backup's.
#include <filesystem>

#include "backup/device/device_connection.h"
#include "backup/recovery_source.h"

namespace dunmere {

class CDeviceRecovery : public IPhoneRecoveryParse {
 public:
  CDeviceRecovery();
  // Removes the local copies and the media cut out of the archive: no device data outlives the source.
  ~CDeviceRecovery() override;

  Status Attach(void* context) override;  // an IDeviceConnection
  Status SetProgressCallback(ProgressCallback callback, void* user) override;
  Status Reserved(std::intptr_t) override { return kOk; }
  Status IsLocalSource(std::intptr_t) override { return 0; }
  // −1 when the device or its services cannot be reached.
  Status Open(const std::string& password) override;
  Status ScanMessages(ConversationMap& out) override;
  Status ScanMessageAttachments(std::vector<AttachmentFileRecord>& out) override;
  Status ScanContacts(std::vector<ContactRecord>& out) override;
  Status ScanNotes(std::vector<NoteRecord>& out) override;
  Status ScanCallHistory(std::vector<CallRecord>& out) override;
  Status ScanCameraRollAndPhotoStream(std::vector<MediaFileRecord>&, std::vector<MediaFileRecord>&) override {
    return kOk;
  }
  Status GetWhatsAppAttachments(std::vector<MediaFileRecord>&) override { return kOk; }
  Status ScanAppMedia(std::vector<AppMediaRecord>&) override { return kOk; }
  // Only the four databases are fetched: the chat databases are not among them.
  Status ScanQQ(ChatConversationMap&) override { return kOk; }
  Status ScanMMChats(ChatConversationMap&) override { return kOk; }
  Status ScanWhatsApp(WhatsAppChatMap&) override { return kOk; }
  Status MakePreviewCopy(const std::filesystem::path& source, std::filesystem::path& output, ProgressCallback callback,
                         void* user) override {
    return MakeMediaPreviewCopy(dataFolder_, source, output, callback, user);
  }
  Status CopyOut(const std::filesystem::path& source, const std::filesystem::path& destination, CopyCallback callback,
                 void* user) override {
    return CopyMediaOut(source, destination, callback, user);
  }
  Status ExportMessagesCsv(const std::filesystem::path& output) override;
  Status ExportContactsCsv(const std::filesystem::path& output) override;
  Status ExportWhatsAppText(std::int32_t, const std::filesystem::path&, ProgressCallback, void*) override {
    return kInvalidParameter;  // no chat was scanned from a device
  }
  Status ExportQQText(const std::string&, const std::string&, const std::filesystem::path&, ProgressCallback,
                      void*) override {
    return kInvalidParameter;
  }
  Status ExportMMChatText(const std::string&, const std::string&, const std::filesystem::path&, ProgressCallback,
                          void*) override {
    return kInvalidParameter;
  }

  // The local copies of the fetched databases.
  std::filesystem::path LocalPath(const char* name) const { return localFolder_ / name; }

 private:
  Status Report(std::int32_t value) const;
  Status FinishDatabaseStep(Status result);
  // The current Notes store, looked for in the shared app-group folders through the file service.
  void FetchNoteStore();

  IDeviceConnection* device_ = nullptr;
  bool fileService_ = false;
  std::filesystem::path localFolder_;
  std::filesystem::path dataFolder_;
  ProgressCallback callback_ = nullptr;
  void* user_ = nullptr;
  std::int32_t progressBase_ = 0;
  std::int32_t stepWeight_ = 0;
  std::int64_t messagesReaderState_ = 20000;
  std::int64_t contactsReaderState_ = 20000;
  std::vector<AttachmentFileRecord> attachments_;
};

}  // namespace dunmere
