#pragma once
// The preview panel: the record selected in the data list — a note as coloured text, a
// conversation or chat as speech bubbles in a view that draws only the messages on screen, a
// contact as a card, a picture in the text box.
#include <QImage>
#include <QModelIndex>
#include <QString>
#include <QStringList>
#include <map>
#include <filesystem>
#include <functional>
#include <vector>

#include "categories/category_records.h"
#include "platform/status.h"
#include "ui/controls/conversation_model.h"
#include "ui/controls/thumbnail_cache.h"
#include "ui/pages/base_page.h"

namespace dunmere {

class CBackupEngine;
class CConversationView;
class CPlayerProcesses;

class CPreviewVrtWnd : public CBaseVrtWnd {
 public:
  CPreviewVrtWnd(QWidget* window, CBackupEngine& engine);

  // Text mode (the text box), card mode (the contact card) or conversation mode (the bubbles); Hide
  // hides the panel.
  void TextMode();
  void BubbleMode();
  void ConversationMode();
  void Hide();
  void Clear();

  void ShowNote(const NoteRecord& note);
  void ShowConversation(const std::vector<MessageRecord>& messages);
  void ShowChat(const std::vector<WhatsAppMessageRecord>& messages);
  // Messages of a conversation or chat (all of them, or those a filter lets through), under a title;
  // the view starts at the message given (the first when none).
  void ShowMessages(const QString& title, std::vector<ConversationModel::Message> messages, const void* first = nullptr);
  const ConversationModel& Conversation() const { return conversation_; }
  CThumbnailCache& Thumbnails() { return thumbnails_; }
  // Re-applies the texts of the panel (the owner's name, the deleted words) in the language chosen.
  void ApplyLanguage() override;
  void ShowContact(const ContactRecord& contact);
  // A media file of the backup: copied to the work folder (a large one through the extraction
  // dialog), then a picture shown in the text box, a sound or a video played by the player launchers.
  void ShowMedia(const std::filesystem::path& source, const std::string& displayName);

  // The players this copy starts are noted there (stopped at the end).
  void SetPlayers(CPlayerProcesses* players) { players_ = players; }
  // The folder of the player launchers ("Player", "Player1"); the program's own unless set.
  std::filesystem::path playerFolder;
  // How the extraction dialog of a large file is run, and what is said when the video player did not
  // start; tests answer for the user.
  std::function<int(class CPreviewProcessWnd& dialog)> runExtraction;
  std::function<void(QWidget* owner, const QString& text)> tellPlayerFailed;
  // Files larger than this go through the extraction dialog.
  static constexpr std::uintmax_t kDirectCopyLimit = 65536;

  // Shows the media a preview worker made ready.
  virtual void ShowReadyMedia() {}

  // The player's buttons (play/pause, seek, close).
  void Notify(TNotifyUI& msg) override;
  // Stops what the panel plays and hides its player.
  void StopPlayer();
  // Sends the player a command of its JSON protocol (["cycle", "pause"], ["seek", "10"]).
  void PlayerCommand(const QStringList& command);
  // Opens a message's attachment: a picture in a viewer, a sound or a video in the panel's player; says
  // so when the backup holds no file for it.
  void OpenAttachment(const QModelIndex& index);
  // How a picture is shown large and how a missing file is told (tests watch them).
  std::function<void(const QImage& picture, const QString& name)> showPicture;
  std::function<void(QWidget* owner, const QString& text)> tellMissing;

 private:
  void ShowPicture(const std::filesystem::path& prepared, const std::string& displayName);
  // The work copy of a file of the backup for a viewer or a player (the last one again when asked
  // twice): kStoppedByUser when its extraction was cancelled.
  Status Prepare(const std::filesystem::path& source, const std::string& displayName, std::filesystem::path& prepared);
  void PlaySound(const std::filesystem::path& prepared, const QString& name);
  void PlayVideo(const std::filesystem::path& prepared, const QString& name);
  std::filesystem::path PlayerSocket(const std::filesystem::path& prepared) const;
  void ShowPlayer(const QString& name, bool video);
  void ClearCard();
  void ShowPanel();
  CConversationView* View();

  CBackupEngine& engine_;
  CPlayerProcesses* players_ = nullptr;
  std::filesystem::path lastSource_;
  std::filesystem::path lastPrepared_;
  ConversationModel conversation_;
  CThumbnailCache thumbnails_;
  std::map<std::string, QString> attachmentFiles_;  // the backup's file of each attachment asked for
  std::filesystem::path playerSocket_;             // where the player playing takes its commands
};

}  // namespace dunmere
