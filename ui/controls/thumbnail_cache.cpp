#include "ui/controls/thumbnail_cache.h"

#include <QFileInfo>
#include <QImageReader>

#include "backup/heic_pictures.h"

namespace dunmere {
namespace {

// The pictures kept: about 30 MB of small pictures (each at most 160 × 120 × 4 bytes).
constexpr int kBudgetBytes = 30 * 1024 * 1024;

}  // namespace

CThumbnailCache::CThumbnailCache(QObject* parent) : QObject(parent), made_(kBudgetBytes) {
  workers_.setMaxThreadCount(2);
}

CThumbnailCache::~CThumbnailCache() {
  workers_.clear();
  workers_.waitForDone();
}

bool CThumbnailCache::IsPicture(const QString& name) {
  const QString kind = QFileInfo(name).suffix().toLower();
  return kind == QLatin1String("jpg") || kind == QLatin1String("jpeg") || kind == QLatin1String("png") ||
         kind == QLatin1String("gif") || kind == QLatin1String("heic") || kind == QLatin1String("heif");
}

QImage CThumbnailCache::Make(const QString& file, const QSize& fit) {
  QImageReader reader(file);
  reader.setDecideFormatFromContent(true);
  reader.setAutoTransform(true);
  if (reader.canRead()) {
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > fit.width() || size.height() > fit.height())) {
      reader.setScaledSize(size.scaled(fit, Qt::KeepAspectRatio));
    }
    QImage picture = reader.read();
    if (!picture.isNull() && (picture.width() > fit.width() || picture.height() > fit.height())) {
      picture = picture.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return picture;
  }
  // Qt does not read HEIC: libheif does.
  RgbPicture decoded;
  if (DecodeHeic(file.toStdString(), decoded) != kOk || decoded.width <= 0 || decoded.height <= 0) return QImage();
  const QImage whole(decoded.rgb.data(), decoded.width, decoded.height, decoded.width * 3, QImage::Format_RGB888);
  if (whole.width() <= fit.width() && whole.height() <= fit.height()) return whole.copy();
  return whole.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QImage CThumbnailCache::Find(const QString& file) {
  if (const QImage* made = made_.object(file)) return *made;
  if (file.isEmpty() || pending_.contains(file) || failed_.contains(file)) return QImage();
  pending_.insert(file);
  // The cache outlives its workers (its end waits for them); what a worker made is handed back on the
  // cache's thread, and a posted hand-over is dropped with the cache.
  workers_.start([this, file] {
    const QImage picture = Make(file, QSize(kWidth, kHeight));
    QMetaObject::invokeMethod(this, [this, file, picture] { Made(file, picture); }, Qt::QueuedConnection);
  });
  return QImage();
}

void CThumbnailCache::Made(const QString& file, const QImage& picture) {
  pending_.remove(file);
  if (picture.isNull()) {
    failed_.insert(file);
  } else {
    made_.insert(file, new QImage(picture), static_cast<int>(picture.sizeInBytes()));
  }
  emit Ready(file);
}

}  // namespace dunmere
