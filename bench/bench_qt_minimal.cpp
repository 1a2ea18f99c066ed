// The floor for start-up: a bare Qt dialog the size of the welcome page, quitting on its first
// paint. bench_startup runs it beside the wizard's own start-up.
#include "bench/first_paint.h"

#include <QApplication>
#include <QDialog>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("bench"));
    dialog.setFixedSize(452, 273);
    bench::QuitOnFirstPaint quit(dialog);
    dialog.show();
    return app.exec();
}
