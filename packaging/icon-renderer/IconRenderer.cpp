// Renders the program's SVG icon, at build time, into the PNG sizes a Linux
// desktop looks for and the ICO file Windows embeds in the executable:
//   icon-renderer ICON.svg OUTPUT_FOLDER
// writes orvanne-flasher-<size>.png for each size and orvanne-flasher.ico.
#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <vector>

namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};

QByteArray renderPng(QSvgRenderer& svg, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// An ICO file whose images are PNGs, as Windows has read them since Vista:
// a directory of one entry per size, then the PNG data.
QByteArray icoOf(const std::vector<std::pair<int, QByteArray>>& pngs)
{
    QByteArray ico;
    QDataStream out(&ico, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(pngs.size());
    quint32 offset = 6 + 16 * static_cast<quint32>(pngs.size());
    for (const auto& [size, png] : pngs) {
        const quint8 side = size >= 256 ? 0 : static_cast<quint8>(size); // 0 stands for 256
        out << side << side << quint8(0) << quint8(0) << quint16(1) << quint16(32)
            << quint32(png.size()) << offset;
        offset += static_cast<quint32>(png.size());
    }
    for (const auto& entry : pngs)
        out.writeRawData(entry.second.constData(), static_cast<int>(entry.second.size()));
    return ico;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: icon-renderer ICON.svg OUTPUT_FOLDER\n");
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "icon-renderer: %s is no readable SVG\n", argv[1]);
        return 1;
    }
    const QString folder = QString::fromLocal8Bit(argv[2]);
    std::vector<std::pair<int, QByteArray>> pngs;
    for (const int size : kSizes) {
        pngs.emplace_back(size, renderPng(svg, size));
        if (!writeFile(QStringLiteral("%1/orvanne-flasher-%2.png").arg(folder).arg(size), pngs.back().second))
            return 1;
    }
    return writeFile(folder + QStringLiteral("/orvanne-flasher.ico"), icoOf(pngs)) ? 0 : 1;
}
