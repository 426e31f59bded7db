#pragma once
// Small pictures of files, made on worker threads and kept within a budget of memory, for the
// pictures a conversation's messages carry: JPEG, PNG and GIF through Qt's readers (scaled while they
// are read, so a large photo is never decoded whole), HEIC through libheif. Asking for one that is not
// made yet starts it and answers a null image; Ready tells when it is made (or could not be).
#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

namespace dunmere {

class CThumbnailCache : public QObject {
  Q_OBJECT
 public:
  static constexpr int kWidth = 160;
  static constexpr int kHeight = 120;

  explicit CThumbnailCache(QObject* parent = nullptr);
  ~CThumbnailCache() override;  // waits for the pictures being made

  // The picture of file made to fit kWidth × kHeight; null while it is being made or when it could not be.
  QImage Find(const QString& file);
  bool Failed(const QString& file) const { return failed_.contains(file); }
  // Whether a file's name says it is a picture this cache makes small.
  static bool IsPicture(const QString& name);
  // The picture of a file made to fit a size (on the caller's thread): null when it cannot be read.
  static QImage Make(const QString& file, const QSize& fit);

 signals:
  void Ready(const QString& file);

 private:
  void Made(const QString& file, const QImage& picture);

  QCache<QString, QImage> made_;
  QSet<QString> pending_;
  QSet<QString> failed_;
  QThreadPool workers_;
};

}  // namespace dunmere
