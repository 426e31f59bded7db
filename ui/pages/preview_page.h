#pragma once
// The preview panel: the record selected in the data list — a note as coloured text, a
// conversation or chat as speech bubbles, a contact as a card, a picture in the text box.
#include <QString>
#include <filesystem>
#include <vector>

#include "categories/category_records.h"
#include "ui/pages/base_page.h"

namespace dunmere {

class CBackupEngine;

class CPreviewVrtWnd : public CBaseVrtWnd {
 public:
  CPreviewVrtWnd(QWidget* window, CBackupEngine& engine) : CBaseVrtWnd("PreviewVtrWnd", "", window), engine_(engine) {}

  // Text mode (the text box) or bubble mode (the bubble list); Hide hides the panel.
  void TextMode();
  void BubbleMode();
  void Hide();
  void Clear();

  void ShowNote(const NoteRecord& note);
  void ShowConversation(const std::vector<MessageRecord>& messages);
  void ShowChat(const std::vector<WhatsAppMessageRecord>& messages);
  void ShowContact(const ContactRecord& contact);
  // A media file of the backup: copied to the work folder, a picture then shown in the text box,
  // anything else named.
  void ShowMedia(const std::filesystem::path& source, const std::string& displayName);

  // Shows the media a preview worker made ready.
  virtual void ShowReadyMedia() {}

 private:
  void AddBubble(const QString& caption, const QString& text, bool sent, bool deleted);
  void ClearBubbles();

  CBackupEngine& engine_;
};

}  // namespace dunmere
