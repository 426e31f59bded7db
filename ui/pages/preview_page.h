#pragma once
// The preview panel: the record selected in the data list — a note as coloured text, a
// conversation or chat as speech bubbles, a contact as a card, a picture in the text box.
#include <QString>
#include <filesystem>
#include <functional>
#include <vector>

#include "categories/category_records.h"
#include "ui/pages/base_page.h"

namespace dunmere {

class CBackupEngine;
class CPlayerProcesses;

class CPreviewVrtWnd : public CBaseVrtWnd {
 public:
  CPreviewVrtWnd(QWidget* window, CBackupEngine& engine);

  // Text mode (the text box) or bubble mode (the bubble list); Hide hides the panel.
  void TextMode();
  void BubbleMode();
  void Hide();
  void Clear();

  void ShowNote(const NoteRecord& note);
  void ShowConversation(const std::vector<MessageRecord>& messages);
  void ShowChat(const std::vector<WhatsAppMessageRecord>& messages);
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

 private:
  void AddBubble(const QString& caption, const QString& text, bool sent, bool deleted);
  void ShowPicture(const std::filesystem::path& prepared, const std::string& displayName);
  void PlaySound(const std::filesystem::path& prepared);
  void PlayVideo(const std::filesystem::path& prepared);
  void ClearBubbles();
  void ShowPanel();
  int BubbleRoom();

  CBackupEngine& engine_;
  CPlayerProcesses* players_ = nullptr;
  std::filesystem::path lastSource_;
  std::filesystem::path lastPrepared_;
};

}  // namespace dunmere
