// gifinfo FILE...: loads each file into a GIF view and prints one JSON line with the result
// and the loaded state, for comparing the loader with other GIF tools.

#include "gifview/GifViewCore.h"
#include "gifview/GifViewHost.h"

#include <QGuiApplication>

#include <cstdio>

namespace {

QByteArray jsonString(const QString& text) {
    QByteArray out = "\"";
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '"' || u == '\\') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u < 0x20) {
            out += QByteArray("\\u") + QByteArray::number(u, 16).rightJustified(4, '0');
        } else {
            out += QString(c).toUtf8();
        }
    }
    return out + '"';
}

const char* flag(bool value) {
    return value ? "true" : "false";
}

QByteArray describe(const QString& file) {
    HeadlessGifHost host;
    GifViewCore view(host);
    QByteArray line = "{\"file\":" + jsonString(file);
    if (!view.loadGif(file)) return line + ",\"loaded\":false}";
    const GifInfo& info = view.document().info();
    line += ",\"loaded\":true,\"version\":" + jsonString(info.version);
    line += ",\"width\":" + QByteArray::number(info.logicalWidth);
    line += ",\"height\":" + QByteArray::number(info.logicalHeight);
    line += ",\"background\":" + QByteArray::number(info.background);
    line += ",\"loops\":" + QByteArray::number(info.loopCount);
    line += QByteArray(",\"restorePrevious\":") + flag(info.restorePrevious);
    line += ",\"headerLength\":" + QByteArray::number(info.headerLength);
    line += ",\"frames\":[";
    for (int i = 1; i <= view.gifFrameCount(); ++i) {
        const GifFrame& f = *view.frame(i);
        if (i > 1) line += ',';
        line += "{\"left\":" + QByteArray::number(f.frameLeft());
        line += ",\"top\":" + QByteArray::number(f.frameTop());
        line += ",\"width\":" + QByteArray::number(f.frameWidth());
        line += ",\"height\":" + QByteArray::number(f.frameHeight());
        line += ",\"delay\":" + QByteArray::number(f.frameDelay());
        line += ",\"disposal\":" + QByteArray::number(f.frameDisposal());
        line += QByteArray(",\"transparent\":") + flag(f.isTransparent());
        line += ",\"transparentColor\":" + QByteArray::number(f.frameTransparentColor());
        line += ",\"start\":" + QByteArray::number(f.framePosition(GifFrame::kStart));
        line += ",\"end\":" + QByteArray::number(f.framePosition(GifFrame::kEnd)) + "}";
    }
    return line + "]}";
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: gifinfo FILE...\n");
        return 2;
    }
    for (const QString& file : args) {
        const QByteArray line = describe(file);
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
        std::fputc('\n', stdout);
    }
    return 0;
}
