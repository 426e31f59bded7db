#include "ui/controls/button_gif.h"

#include <QPainter>

namespace dunmere {

CButtonGifUI::CButtonGifUI(QWidget* parent) : QPushButton(parent) { setFlat(true); }

void CButtonGifUI::SetNormalGifFile(const QString& file) {
  Stop();
  movie_.reset();
  file_ = file;
  if (file.isEmpty()) return;
  movie_ = std::make_unique<QMovie>(file);
  if (!movie_->isValid()) {
    movie_.reset();
    return;
  }
  movie_->setCacheMode(QMovie::CacheAll);
  movie_->jumpToFrame(0);
  // QMovie keeps each frame's own delay; every new frame repaints the button.
  connect(movie_.get(), &QMovie::frameChanged, this, [this] { update(); });
  update();
}

void CButtonGifUI::Start() {
  playing_ = true;
  if (!movie_) return;
  movie_->stop();  // a stopped movie starts again from its first frame
  movie_->start();
}

void CButtonGifUI::Stop() {
  playing_ = false;
  if (movie_) movie_->stop();
}

void CButtonGifUI::paintEvent(QPaintEvent* event) {
  if (!movie_) {
    QPushButton::paintEvent(event);  // no animation: an ordinary button
    return;
  }
  QPainter painter(this);
  painter.drawPixmap(rect(), movie_->currentPixmap());
}

}  // namespace dunmere
