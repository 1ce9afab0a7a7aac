#include "platform/image_probe.h"

#include <QImageReader>

namespace daylume {

std::optional<ImageInfo> probeImage(const std::filesystem::path& file) {
    QImageReader reader(QString::fromStdString(file.string()));
    // Decide by content alone: a file name or a server's content type proves nothing.
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format != "jpeg" && format != "png" && format != "webp") return std::nullopt;
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) return std::nullopt;
    return ImageInfo{format.toStdString(), size.width(), size.height()};
}

}  // namespace daylume
