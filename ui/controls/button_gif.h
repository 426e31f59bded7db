#pragma once
// A button that shows an animated GIF ("normalgiffile") in place of its pictures, played on demand.
#include <QMovie>
#include <QPushButton>
#include <memory>

namespace dunmere {

class CButtonGifUI : public QPushButton {
  Q_OBJECT
  Q_PROPERTY(QString normalgiffile READ NormalGifFile WRITE SetNormalGifFile)
 public:
  explicit CButtonGifUI(QWidget* parent = nullptr);

  QString NormalGifFile() const { return file_; }
  // Stops any animation and loads the file (a Qt resource path or a file).
  void SetNormalGifFile(const QString& file);
  // Plays from the first frame; Stop halts it.
  void Start();
  void Stop();
  bool Playing() const { return playing_; }
  int CurrentFrame() const { return movie_ ? movie_->currentFrameNumber() : -1; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString file_;
  std::unique_ptr<QMovie> movie_;
  bool playing_ = false;
};

}  // namespace dunmere
