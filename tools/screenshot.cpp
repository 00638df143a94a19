// Takes a picture of a program's window on an X display without a window manager (Xvfb): starts
// the program, waits until its window has appeared and stopped changing size, saves the part of the
// screen it covers and ends the program.
//     screenshot OUT.png PROGRAM [ARGUMENT...]
// tools/screenshot.sh uses it for the README's picture of Tessaly.

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int PollMs = 250;
constexpr int SettledPolls = 12;  // the window's size unchanged this long: drawn and laid out
constexpr int GiveUpPolls = 240;

// The rectangle of everything that differs from the screen's empty background (its corner pixel).
QRect drawnArea(const QImage& screen)
{
    const QRgb background = screen.pixel(0, 0);
    int left = screen.width(), top = screen.height(), right = -1, bottom = -1;
    for (int y = 0; y < screen.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(screen.constScanLine(y));
        for (int x = 0; x < screen.width(); ++x) {
            if (line[x] == background)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUT.png PROGRAM [ARGUMENT...]\n", argv[0]);
        return 2;
    }
    int toolkitArgc = 1;
    QGuiApplication app(toolkitArgc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    QStringList arguments;
    for (int i = 3; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QString::fromLocal8Bit(argv[2]), arguments);
    if (!program.waitForStarted()) {
        std::fprintf(stderr, "cannot start %s\n", argv[2]);
        return 1;
    }
    int result = 1;
    QObject::connect(&program, &QProcess::finished, &app, [&] {
        if (result != 0)
            std::fprintf(stderr, "the program ended before its window was taken\n");
        app.exit(result);
    });

    QRect last;
    int settled = 0, polls = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        const QRect area = drawnArea(screen);
        settled = !area.isEmpty() && area == last ? settled + 1 : 0;
        last = area;
        if (settled >= SettledPolls) {
            poll.stop();
            result = screen.copy(area).save(out) ? 0 : 1;
            std::printf("%s %s (%dx%d)\n", result == 0 ? "wrote" : "could not write", argv[1], area.width(), area.height());
            program.terminate();
        } else if (++polls > GiveUpPolls) {
            poll.stop();
            std::fprintf(stderr, "no window appeared\n");
            program.terminate();
        }
    });
    poll.start(PollMs);
    return app.exec();
}
