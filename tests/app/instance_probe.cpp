// A copy of the program's start for the one-copy tests: the same lock, socket and window as the
// real entry point, but the "already running" box is printed instead of shown, and what the first
// copy goes through is printed too, so that a test running several of these can follow them.
//
// Options (removed before the rest goes to the window as its command line):
//   --minimized   show the window minimised
//   --spawn-child start "sleep 60" first and print its process id, as a launched program would be
//   --key=NAME    the instance key (each test run has its own, so that runs beside each other
//                 never meet); the program's own key otherwise
//   --report      print the workspace's parent and the layout direction once shown, and end

#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTextBlock>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/startup.h"
#include "common/dialogs.h"
#include "common/qt_log_view.h"
#include "platform/linux/single_instance.h"

namespace {

void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

class PrintingDialogs final : public tessaly::Dialogs {
public:
    void showMessage(QWidget*, const QString& text, const QString& caption) override
    {
        say(QStringLiteral("message ") + caption + QLatin1Char(' ') + text);
    }
    bool askYesNo(QWidget*, const QString& text, const QString&) override
    {
        say(QStringLiteral("question ") + text);
        return true;
    }
    void showError(QWidget*, const QString& text) override { say(QStringLiteral("error ") + text); }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};

}  // namespace

int main(int argc, char* argv[])
{
    std::vector<std::string> arguments;
    bool minimized = false, spawnChild = false, report = false;
    std::string key(tessaly::InstanceKey);
    for (std::string& a : tessaly::RawArguments(argc, argv)) {
        if (a == "--minimized")
            minimized = true;
        else if (a == "--spawn-child")
            spawnChild = true;
        else if (a == "--report")
            report = true;
        else if (a.rfind("--key=", 0) == 0)
            key = a.substr(6);
        else
            arguments.push_back(std::move(a));
    }
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    tessaly::LoadToolkitTranslation(app);

    auto dialogs = std::make_shared<PrintingDialogs>();
    tessaly::Services services = tessaly::Services::defaults();
    services.dialogs = dialogs;
    tessaly::SingleInstance instance{key};
    if (tessaly::RefuseSecondCopy(instance, *dialogs)) {
        say(QStringLiteral("second"));
        return 0;
    }

    tessaly::Form1 form(services, tessaly::CommandLineBytes(arguments));
    tessaly::ServeActivationRequests(instance, form);
    const auto* memo = form.findChild<tessaly::LogView*>(QStringLiteral("Memo1"));
    QObject::connect(&instance, &tessaly::SingleInstance::activationRequested, &form, [&form, memo] {
        // The log's last line without its timestamp, and the workspace's parent (empty: none).
        say(QStringLiteral("activated minimized=%1 lines=%2 last=%3 root=%4")
                .arg(int(form.isMinimized()))
                .arg(memo->lineCount())
                .arg(memo->line(memo->lineCount() - 1).mid(20))
                .arg(tessaly::Form1::qs(form.workspace().root().text)));
    });
    if (minimized)
        form.showMinimized();
    else
        form.show();
    if (spawnChild) {
        qint64 pid = 0;
        QProcess::startDetached(QStringLiteral("sleep"), {QStringLiteral("60")}, QString(), &pid);
        say(QStringLiteral("child %1").arg(pid));
    }
    say(QStringLiteral("first minimized=%1").arg(int(form.isMinimized())));
    if (report) {
        // The parent's bytes in hexadecimal, so that any name comes through the pipe unchanged.
        say(QStringLiteral("report root=%1 rtl=%2")
                .arg(QString::fromLatin1(QByteArray::fromStdString(form.workspace().root().text).toHex()))
                .arg(int(QApplication::isRightToLeft())));
        return 0;
    }
    return app.exec();
}
