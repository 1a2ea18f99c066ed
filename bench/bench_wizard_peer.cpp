// The fair floor for the wizard's start-up: the least any wizard of this look must do before
// its first page is seen. A full-screen window with a blue-to-black gradient and one dialog of
// the welcome page's size (452 x 273) showing a line of text in the era's font (MS Sans Serif
// 8, drawn by its metric twin), in the classic style on the era's grey, quitting at the
// dialog's first paint. Plain Qt, none of the wizard's code. bench_startup runs it beside the
// wizard's own start-up.
#include "bench/first_paint.h"

#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QStyleFactory>
#include <QWidget>

namespace {

class Gradient : public QWidget {
public:
    Gradient() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, QColor(0, 0, 255));
        gradient.setColorAt(1, Qt::black);
        painter.fillRect(rect(), gradient);
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
        app.setStyle(style);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0xc0, 0xc0, 0xc0));
    palette.setColor(QPalette::Button, QColor(0xc0, 0xc0, 0xc0));
    palette.setColor(QPalette::WindowText, Qt::black);
    app.setPalette(palette);

    Gradient background;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        background.setGeometry(screen->geometry());
    QDialog dialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    dialog.setWindowTitle(QStringLiteral("Assistente de instala\u00e7\u00e3o"));
    dialog.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    dialog.setFixedSize(452, 273);
    QLabel line(QStringLiteral("Bem-vindo ao programa de instala\u00e7\u00e3o do kit de acesso."),
                &dialog);
    line.setGeometry(16, 16, 420, 16);
    bench::QuitOnFirstPaint quit(dialog);
    background.show();
    dialog.show();
    return app.exec();
}
