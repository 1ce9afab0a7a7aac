#include "platform/image_probe.h"

#include <QFile>
#include <QImageReader>

namespace daylume {
namespace {

// The format by its signature alone: a file name or a server's content type proves nothing.
// Naming it also spares Qt loading every image plugin installed just to ask each one.
QByteArray formatOf(QFile& file) {
    const QByteArray head = file.peek(12);
    if (head.startsWith("\xFF\xD8\xFF")) return "jpeg";
    if (head.startsWith("\x89PNG\r\n\x1A\n")) return "png";
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP") return "webp";
    return {};
}

}  // namespace

std::optional<ImageInfo> probeImage(const std::filesystem::path& file) {
    QFile device(QString::fromStdString(file.string()));
    if (!device.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray format = formatOf(device);
    if (format.isEmpty()) return std::nullopt;
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) return std::nullopt;
    return ImageInfo{format.toStdString(), size.width(), size.height()};
}

}  // namespace daylume
