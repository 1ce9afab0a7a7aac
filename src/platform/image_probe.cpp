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

bool endsComplete(QFile& file, const QByteArray& format) {
    const qint64 size = file.size();
    if (format == "webp") {
        file.seek(4);
        const QByteArray length = file.read(4);
        const quint32 riff = quint8(length[0]) | quint8(length[1]) << 8 | quint8(length[2]) << 16 |
                             quint32(quint8(length[3])) << 24;
        return length.size() == 4 && qint64(riff) + 8 == size;
    }
    file.seek(std::max<qint64>(0, size - 12));
    const QByteArray tail = file.read(12);
    if (format == "png") return tail == QByteArray("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
    return tail.endsWith("\xFF\xD9");
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
    return ImageInfo{format.toStdString(), size.width(), size.height(),
                     endsComplete(device, format)};
}

}  // namespace daylume
