// Prints the key reference made from the key tables, or writes it into README.md and the
// manual page between their markers:
//   keytable [text|markdown|man]
//   keytable --update README.md resources/linux/rombard.6

#include "launcher/window/KeyReference.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <cstring>

namespace {

KeyTableFormat formatOfFile(const QString& path) {
    return path.endsWith(QLatin1String(".md")) ? KeyTableFormat::Markdown : KeyTableFormat::Roff;
}

bool update(const char* name) {
    const QString path = QString::fromLocal8Bit(name);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "keytable: cannot read %s\n", name);
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    const auto updated = withKeyReference(text, formatOfFile(path));
    if (!updated) {
        std::fprintf(stderr, "keytable: %s has no key reference markers\n", name);
        return false;
    }
    if (*updated == text) return true;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(updated->toUtf8()) < 0) {
        std::fprintf(stderr, "keytable: cannot write %s\n", name);
        return false;
    }
    std::printf("updated %s\n", name);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--update") == 0) {
        bool ok = argc > 2;
        for (int i = 2; i < argc; ++i)
            ok = update(argv[i]) && ok;
        return ok ? 0 : 1;
    }
    KeyTableFormat format = KeyTableFormat::Text;
    if (argc == 2 && std::strcmp(argv[1], "markdown") == 0)
        format = KeyTableFormat::Markdown;
    else if (argc == 2 && std::strcmp(argv[1], "man") == 0)
        format = KeyTableFormat::Roff;
    else if (argc > 2 || (argc == 2 && std::strcmp(argv[1], "text") != 0)) {
        std::fprintf(stderr,
                     "usage: keytable [text|markdown|man]\n"
                     "       keytable --update README.md resources/linux/rombard.6\n");
        return 2;
    }
    std::fputs(renderKeyReference(format).toUtf8().constData(), stdout);
    return 0;
}
