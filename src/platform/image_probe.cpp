#include "platform/image_probe.h"

#include <QFile>
#include <QImageReader>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

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

int bigEndian16(const QByteArray& bytes, int at) {
    return quint8(bytes[at]) << 8 | quint8(bytes[at + 1]);
}

// The size in the JPEG's frame header, reached by seeking past each segment before it: Qt's
// reader keeps comments in memory, several times over, so that metadata padded to tens of
// megabytes took hundreds of megabytes to read a size.
QSize jpegSize(QFile& file) {
    file.seek(2);
    for (char byte = 0;;) {
        if (!file.getChar(&byte) || quint8(byte) != 0xFF) return {};
        do {  // a marker may be preceded by any number of fill bytes
            if (!file.getChar(&byte)) return {};
        } while (quint8(byte) == 0xFF);
        const quint8 code = quint8(byte);
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) continue;  // no length follows
        if (code == 0xD9 || code == 0xDA) return {};  // the end or the data before any frame
        const QByteArray length = file.read(2);
        if (length.size() != 2 || bigEndian16(length, 0) < 2) return {};
        // Start of frame: C0 to CF, less C4 (Huffman tables), C8 (reserved), CC (arithmetic).
        if (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC) {
            const QByteArray frame = file.read(5);  // precision, height, width
            return frame.size() == 5 ? QSize(bigEndian16(frame, 3), bigEndian16(frame, 1))
                                     : QSize();
        }
        if (!file.seek(file.pos() + bigEndian16(length, 0) - 2)) return {};
    }
}

struct JpegDecoder {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    std::jmp_buf failed;
    FILE* file;
};

[[noreturn]] void failDecoding(j_common_ptr info) {
    std::longjmp(static_cast<JpegDecoder*>(info->client_data)->failed, 1);
}

// Level -1 is a warning: corrupt data or a premature end, which libjpeg would paint over in grey
// and go on. Other levels are its trace messages.
void onDecoderMessage(j_common_ptr info, int level) {
    if (level < 0) failDecoding(info);
}

// Decodes the whole picture at an eighth of its size, a row at a time, and stops at its end
// marker: false at the first error or warning. The markers libjpeg is not told to save are
// skipped, not kept. Alone in its frame with setjmp, so that no C++ object lives where longjmp
// goes.
bool decodeScaled(JpegDecoder& d) {
    if (setjmp(d.failed)) return false;
    jpeg_create_decompress(&d.info);
    jpeg_stdio_src(&d.info, d.file);
    jpeg_read_header(&d.info, TRUE);
    d.info.scale_num = 1;
    d.info.scale_denom = 8;
    d.info.dct_method = JDCT_IFAST;
    d.info.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&d.info);
    JSAMPARRAY row =
        (*d.info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.info), JPOOL_IMAGE,
                                    d.info.output_width * JDIMENSION(d.info.output_components), 1);
    while (d.info.output_scanline < d.info.output_height) jpeg_read_scanlines(&d.info, row, 1);
    jpeg_finish_decompress(&d.info);
    return true;
}

bool jpegDecodesWhole(const std::filesystem::path& path) {
    JpegDecoder d{};
    d.info.err = jpeg_std_error(&d.errors);
    d.errors.error_exit = failDecoding;
    d.errors.emit_message = onDecoderMessage;
    d.info.client_data = &d;
    d.file = std::fopen(path.c_str(), "rb");
    if (!d.file) return false;
    const bool whole = decodeScaled(d);
    jpeg_destroy_decompress(&d.info);
    std::fclose(d.file);
    return whole;
}

// PNG and WebP keep to their containers' ends: the service sends JPEG, and Qt's readers of
// these decode only at full size.
bool endsComplete(QFile& file, const std::string& format) {
    const qint64 size = file.size();
    if (format == "webp") {
        file.seek(4);
        const QByteArray length = file.read(4);
        const quint32 riff = quint8(length[0]) | quint8(length[1]) << 8 | quint8(length[2]) << 16 |
                             quint32(quint8(length[3])) << 24;
        return length.size() == 4 && qint64(riff) + 8 == size;
    }
    file.seek(std::max<qint64>(0, size - 12));
    return file.read(12) == QByteArray("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
}

}  // namespace

std::optional<ImageInfo> probeImage(const std::filesystem::path& file) {
    QFile device(QString::fromStdString(file.string()));
    if (!device.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray format = formatOf(device);
    if (format.isEmpty()) return std::nullopt;
    QSize size;
    if (format == "jpeg") {
        size = jpegSize(device);
    } else {
        QImageReader reader(&device, format);
        reader.setAutoDetectImageFormat(false);
        size = reader.size();
    }
    if (!size.isValid() || size.isEmpty()) return std::nullopt;
    return ImageInfo{format.toStdString(), size.width(), size.height()};
}

bool isWholePicture(const std::filesystem::path& file, const ImageInfo& info) {
    if (info.format == "jpeg") return jpegDecodesWhole(file);
    QFile device(QString::fromStdString(file.string()));
    return device.open(QIODevice::ReadOnly) && endsComplete(device, info.format);
}

}  // namespace daylume
