// One copy per user, with real processes: a later start ends with exit code 0 and brings the first
// copy's window forward; a killed first copy blocks nothing; simultaneous starts leave one copy.
// The processes are instance_probe, which starts exactly as the program does.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <list>

#include "app/startup.h"
#include "platform/linux/single_instance.h"
#include "support/tempdir.h"

using tessaly::SingleInstance;

namespace {

// One running probe and the lines it has printed.
class Probe {
public:
    explicit Probe(const QProcessEnvironment& env)
    {
        process.setProcessEnvironment(env);
        process.setProgram(QStringLiteral(INSTANCE_PROBE));
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~Probe()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // Starts the probe under the test's own instance key.
    void start(const QStringList& arguments, const QString& key)
    {
        process.setArguments(QStringList{QStringLiteral("--key=") + key} + arguments);
        process.start();
    }
    // Waits until a line beginning with prefix has come; returns it, or an empty text once the probe
    // has ended without it. The bound is only against a probe that hangs: a loaded machine may take
    // many seconds to start one.
    QString waitFor(const QString& prefix, int timeoutMs = 60000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            while (process.canReadLine()) {
                lines << QString::fromUtf8(process.readLine()).chopped(1);
            }
            for (const QString& line : std::as_const(lines))
                if (line.startsWith(prefix))
                    return line;
            if (deadline.hasExpired() || !process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
                if (!process.canReadLine())
                    return {};
        }
    }
    QStringList finish(int timeoutMs = 60000)
    {
        process.waitForFinished(timeoutMs);
        while (process.canReadLine())
            lines << QString::fromUtf8(process.readLine()).chopped(1);
        return lines;
    }
    QProcess process;
    QStringList lines;
};

// Ends a process on every way out of a test.
struct KillOnExit {
    qint64 pid = 0;
    ~KillOnExit()
    {
        if (pid > 0)
            ::kill(pid_t(pid), SIGKILL);
    }
};

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private:
    QString runtime;
    QProcessEnvironment env;
    std::unique_ptr<tessaly::test::TempDir> dir;
    // Every test has an instance key of its own: several runs of this test on one machine, all by
    // the same user, then never meet in the user's one folder.
    QString key;
    int keys = 0;

    QString folder() const { return QStringLiteral("/tmp/tessaly-%1").arg(::geteuid()); }
    QString socketPath() const { return folder() + QLatin1Char('/') + key + QStringLiteral(".socket"); }

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<tessaly::test::TempDir>();
        runtime = QString::fromStdString(dir->file("run"));
        QVERIFY(::mkdir(runtime.toUtf8().constData(), 0700) == 0);
        key = QStringLiteral("test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++keys);
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir->file("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    void cleanup()
    {
        QFile::remove(folder() + QLatin1Char('/') + key + QStringLiteral(".lock"));
        QFile::remove(socketPath());
        dir.reset();
    }

    void secondStartEndsAndBringsTheFirstForward()
    {
        Probe first(env);
        first.start({QStringLiteral("--minimized")}, key);
        QCOMPARE(first.waitFor(QStringLiteral("first")), QStringLiteral("first minimized=1"));

        // The second start names a file: it is loaded by neither copy.
        const QString doc = QString::fromStdString(dir->write("doc.txt", "x"));
        Probe second(env);
        second.start({doc}, key);
        const QStringList said = second.finish();
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 0);
        QCOMPARE(said, (QStringList{QStringLiteral("message Tessaly 既に起動されています。"), QStringLiteral("second")}));

        const QString activated = first.waitFor(QStringLiteral("activated"));
        QCOMPARE(activated, QStringLiteral("activated minimized=0 lines=1 last=単体で起動 ") + QStringLiteral(INSTANCE_PROBE) +
                                QStringLiteral(" root="));
        QCOMPARE(first.process.state(), QProcess::Running);

        // A third start after the second is served the same way.
        Probe third(env);
        third.start({}, key);
        QVERIFY(third.finish().contains(QStringLiteral("second")));
        QCOMPARE(third.process.exitCode(), 0);
    }

    void killedFirstCopyLeavesNothingThatBlocks()
    {
        KillOnExit child;
        {
            // The first copy has started another program, as opening an item does; the program
            // outlives it and must not keep the lock.
            Probe first(env);
            first.start({QStringLiteral("--spawn-child")}, key);
            const QString childLine = first.waitFor(QStringLiteral("child "));
            child.pid = childLine.mid(6).toLongLong();
            QVERIFY(child.pid > 0);
            QVERIFY(!first.waitFor(QStringLiteral("first")).isEmpty());
            QVERIFY(QFile::exists(socketPath()));
            ::kill(pid_t(first.process.processId()), SIGKILL);
            QVERIFY(first.process.waitForFinished(60000));
            QCOMPARE(first.process.exitStatus(), QProcess::CrashExit);
        }
        QVERIFY2(::kill(pid_t(child.pid), 0) == 0, "the started program still runs");
        QVERIFY(QFile::exists(socketPath()));  // left behind by the killed copy

        Probe next(env);
        next.start({}, key);
        QCOMPARE(next.waitFor(QStringLiteral("first")), QStringLiteral("first minimized=0"));
        // The socket file left behind was replaced: a later start reaches this copy.
        Probe later(env);
        later.start({}, key);
        QVERIFY(later.finish().contains(QStringLiteral("second")));
        QVERIFY(!next.waitFor(QStringLiteral("activated")).isEmpty());
    }

    void simultaneousStartsLeaveOneCopy()
    {
        std::list<Probe> probes;
        for (int i = 0; i < 4; ++i)
            probes.emplace_back(env).start({}, key);
        int firsts = 0, seconds = 0;
        for (Probe& p : probes) {
            if (!p.waitFor(QStringLiteral("first")).isEmpty())
                ++firsts;
            else if (p.lines.contains(QStringLiteral("second")))
                ++seconds;
        }
        QCOMPARE(firsts, 1);
        QCOMPARE(seconds, 3);
    }

    // Only the one request brings the window forward; anything else on the socket is dropped.
    void onlyTheRequestIsServed()
    {
        SingleInstance first{key.toStdString()};
        QCOMPARE(int(first.acquire()), int(SingleInstance::Role::First));
        QVERIFY(first.listen());
        QCOMPARE(QFileInfo(QString::fromStdString(first.socketPath())).permissions() &
                     (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
                 QFile::Permissions());
        QSignalSpy requests(&first, &SingleInstance::activationRequested);

        QLocalSocket other;
        other.connectToServer(QString::fromStdString(first.socketPath()));
        QVERIFY(other.waitForConnected(30000));
        other.write("hello\n");
        QTRY_COMPARE(other.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(other.readAll(), QByteArray());
        QCOMPARE(requests.size(), 0);

        QLocalSocket later;
        later.connectToServer(QString::fromStdString(first.socketPath()));
        QVERIFY(later.waitForConnected(30000));
        later.write("activate\n");
        QTRY_VERIFY(later.canReadLine());
        QCOMPARE(later.readLine(), QByteArray("ok\n"));
        QCOMPARE(requests.size(), 1);
    }

    // The one-copy rule holds however a start's environment looks: with or without the session's
    // runtime folder, with another temporary folder, with a runtime folder whose path is too long
    // for a socket. Every later start finds the first copy and brings it forward.
    void theEnvironmentHasNoSay()
    {
        Probe first(env);
        first.start({}, key);
        QVERIFY(!first.waitFor(QStringLiteral("first")).isEmpty());

        std::string longRuntime = dir->file("r");
        while (longRuntime.size() < 200)
            longRuntime += "/very-long-runtime-folder";
        std::filesystem::create_directories(longRuntime);
        ::chmod(longRuntime.c_str(), 0700);
        const QString tmp = QString::fromStdString(dir->file("tmp"));
        QDir().mkpath(tmp);
        const QList<std::pair<QString, QString>> variants{{QString(), QString()},
                                                          {QString::fromStdString(longRuntime), tmp},
                                                          {QString(), tmp}};
        int activations = 0;
        for (const auto& [xdgRuntime, tmpdir] : variants) {
            QProcessEnvironment other = env;
            other.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            other.remove(QStringLiteral("TMPDIR"));
            if (!xdgRuntime.isEmpty())
                other.insert(QStringLiteral("XDG_RUNTIME_DIR"), xdgRuntime);
            if (!tmpdir.isEmpty())
                other.insert(QStringLiteral("TMPDIR"), tmpdir);
            Probe later(other);
            later.start({}, key);
            QVERIFY2(later.finish().contains(QStringLiteral("second")), qPrintable(xdgRuntime + QLatin1Char(' ') + tmpdir));
            QVERIFY(!first.waitFor(QStringLiteral("activated")).isEmpty());
            first.lines.clear();
            ++activations;
        }
        QCOMPARE(activations, 3);
        QCOMPARE(first.process.state(), QProcess::Running);
    }

    // The toolkit takes none of its options from the command line: a file named like one is a file.
    void toolkitOptionsAreFileNames()
    {
        const std::string file = dir->write("-reverse", "x");
        Probe probe(env);
        probe.process.setWorkingDirectory(QString::fromStdString(dir->path()));
        probe.start({QStringLiteral("--report"), QStringLiteral("-reverse")}, key);
        QCOMPARE(probe.waitFor(QStringLiteral("report")),
                 QStringLiteral("report root=") + QString::fromLatin1(QByteArray::fromStdString(file).toHex()) +
                     QStringLiteral(" rtl=0"));
    }

    // The lock and the socket live in a folder that only this user can enter, named by the user's
    // id in a fixed place: the environment does not move it.
    void runtimeFolderIsPrivate()
    {
        namespace fs = std::filesystem;
        const std::string base = dir->file("tmp");
        fs::create_directories(base);
        const std::string own = base + "/tessaly-" + std::to_string(::geteuid());

        ::setenv("TMPDIR", runtime.toUtf8().constData(), 1);
        QCOMPARE(tessaly::PrivateRuntimeFolder(base), own);
        ::unsetenv("TMPDIR");
        QCOMPARE(int(fs::status(own).permissions() & fs::perms::all), 0700);
        QCOMPARE(tessaly::PrivateRuntimeFolder(), QStringLiteral("/tmp/tessaly-%1").arg(::geteuid()).toStdString());

        // Within one process two holders exclude each other too, and the lock goes with its holder.
        {
            SingleInstance a{"key", base}, b{"key", base};
            QCOMPARE(int(a.acquire()), int(SingleInstance::Role::First));
            QCOMPARE(int(b.acquire()), int(SingleInstance::Role::Second));
            QCOMPARE(a.socketPath(), own + "/key.socket");
        }
        SingleInstance c{"key", base};
        QCOMPARE(int(c.acquire()), int(SingleInstance::Role::First));

        // Someone else's folder in the shared place is refused: a link, or one others may enter.
        fs::remove_all(own);
        fs::create_directory_symlink(runtime.toStdString(), own);
        std::string why;
        QCOMPARE(tessaly::PrivateRuntimeFolder(base, &why), std::string());
        QVERIFY(!why.empty());
        SingleInstance d{"key", base};
        QCOMPARE(int(d.acquire()), int(SingleInstance::Role::Unguarded));
        fs::remove(own);
        fs::create_directory(own);
        fs::permissions(own, fs::perms(0777));
        QCOMPARE(tessaly::PrivateRuntimeFolder(base), std::string());
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
