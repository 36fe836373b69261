// A minimal Qt Widgets window with a 100 ms timer: what any small Qt tool costs at rest.
#include <QApplication>
#include <QLabel>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("0"));
    window.setWindowTitle(QStringLiteral("Baseline"));
    window.resize(150, 100);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(100);
    window.show();
    return app.exec();
}
