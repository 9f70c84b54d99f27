#include <QApplication>
#include <QIcon>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rombard"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/rombard.png")));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Rombard"));
    window.resize(699, 474);
    window.show();
    return app.exec();
}
