// Form1's settings file: read while the window is created, written when it may close.

#include "app/form1.h"

#include <algorithm>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QScreen>
#include <QSplitter>

#include "common/dialogs.h"
#include "common/ini_file.h"
#include "common/qt_splitter_share.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "desktop/desktop_rules.h"
#include "detect/qt_detection.h"
#include "streams/qt_workspace_page.h"
#include "streams/qt_preview_pane.h"

namespace tessaly {

namespace {

constexpr std::string_view Program = "PROGRAM";
constexpr std::string_view Position = "POSITION";
constexpr std::string_view Option = "OPTION";
constexpr std::string_view Preview = "PREVIEW";

// Window states as the file stores them.
constexpr int StateNormal = 0;
constexpr int StateMinimised = 1;
constexpr int StateMaximised = 2;
// The show commands written beside them (normal, minimised, maximised).
constexpr int ShowNormal = 1;
constexpr int ShowMinimised = 2;
constexpr int ShowMaximised = 3;


// Beside the executable when its folder can be written (a build or portable folder), otherwise
// in the user's configuration folder, so that an installed copy can keep its settings too.
QString defaultSettingsFile()
{
    const std::string exe = Form1::bytes(QCoreApplication::applicationFilePath());
    if (QFileInfo(QCoreApplication::applicationDirPath()).isWritable())
        return Form1::qs(SettingsFileBeside(exe));
    const std::string configHome = XdgBaseDir(qgetenv("XDG_CONFIG_HOME").toStdString(),
                                              Form1::bytes(QDir::homePath()), ".config");
    return Form1::qs(SettingsFileInConfig(exe, configHome));
}

// The file's profile; empty when there is none or it cannot be read. Only a regular file is read:
// a FIFO or device under that name would block the start for ever.
struct LoadedIni {
    IniFile ini;
    bool unreadable = false;  // something is there that could not be read: it must not be replaced
};

LoadedIni loadIni(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return {IniFile(), true};
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {IniFile(), true};
    return {IniFile::parse(std::string_view(data.constData(), std::size_t(data.size()))), false};
}

// Replaces the file as a whole (a temporary file renamed over it), so that a failure midway
// never leaves half a settings file behind.
bool saveIni(const QString& path, const IniFile& ini)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const std::string text = ini.text();
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Keys hold texts of one line; a folder name with a line break cannot be kept and its key goes,
// so that the next start uses the default rather than half a name.
void writeText(IniFile& ini, std::string_view section, std::string_view key, const std::string& value)
{
    if (!ini.writeString(section, key, value))
        ini.eraseKey(section, key);
}

}  // namespace

void Form1::readSettings()
{
    settings_.file = services_.settingsFile.empty() ? defaultSettingsFile() : qs(services_.settingsFile);
    const IniFile ini = loadIni(settings_.file).ini;

    // Values that only pass through: kept as read and written back at close.
    settings_.placementFlags = ini.readInteger(Position, "Flags", settings_.placementFlags);
    settings_.placementMaxX = ini.readInteger(Position, "MaxX", settings_.placementMaxX);
    settings_.placementMaxY = ini.readInteger(Position, "MaxY", settings_.placementMaxY);

    // Half the screen, centred, unless the file says otherwise.
    QRect screen(0, 0, 1024, 768);
    QSize desktop = screen.size();
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        screen = primary->geometry();
        desktop = primary->availableVirtualSize();
    }
    const int width = screen.width() / 2;
    const int height = screen.height() / 2;
    const int top = ini.readInteger(Position, "Top", screen.y() + (screen.height() - height) / 2);
    const int left = ini.readInteger(Position, "Left", screen.x() + (screen.width() - width) / 2);
    const int right = ini.readInteger(Position, "Right", left + width);
    const int bottom = ini.readInteger(Position, "Bottom", top + height);
    // The rectangle is placed where it was stored, but no larger than the desktop: a stored size
    // beyond it (a damaged file) would claim gigabytes for the window and be written back at
    // every close. An empty or inverted one is given a size, since a window of no size could not
    // be found on the screen at all.
    const auto extent = [](int from, int to, int most) {
        return int(std::clamp<qint64>(qint64(to) - qint64(from), 1, qMax(most, 1)));
    };
    settings_.normalRect =
        QRect(left, top, extent(left, right, desktop.width()), extent(top, bottom, desktop.height()));
    setGeometry(settings_.normalRect);

    // The window is still hidden: the state takes effect when it is first shown. Values other
    // than minimised and maximised open it normal.
    switch (ini.readInteger(Position, "State", StateNormal)) {
    case StateMinimised: setWindowState(Qt::WindowMinimized); break;
    case StateMaximised: setWindowState(Qt::WindowMaximized); break;
    default: setWindowState(Qt::WindowNoState); break;
    }

    CloseQuery1->setChecked(ini.readBool(Option, "CloseQuery", false));
    SaveStatus1->setChecked(ini.readBool(Option, "SaveStatus", false));

    const QString exeFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    settings_.initialFolder = ini.readString(Option, "InitialDir", bytes(exeFolder));
    settings_.openDialogFolder = qs(settings_.initialFolder);

    settings_.folderPaneWidth = qMax(ini.readInteger(Option, "FolderPaneWidth", geometry().width() / 3), 0);
    QSplitter* Splitter1 = detection_->folderSplitter();
    Splitter1->setSizes({settings_.folderPaneWidth, qMax(geometry().width() - settings_.folderPaneWidth, 1)});
    connect(Splitter1, &QSplitter::splitterMoved, this,
            [this, Splitter1] { settings_.folderPaneWidth = Splitter1->sizes().value(0); });

    settings_.heldScrollX = ini.readInteger(Option, "ScrollPosX", 0);

    // The preview panes: a third of the window beside the tree, a third of it below the result list.
    settings_.previewWidth = qMax(ini.readInteger(Preview, "Width", geometry().width() / 3), 1);
    QSplitter* Splitter2 = workspacePage_->previewSplitter();
    Splitter2->setSizes({qMax(geometry().width() - settings_.previewWidth, 1), settings_.previewWidth});
    connect(Splitter2, &QSplitter::splitterMoved, this,
            [this, Splitter2] { settings_.previewWidth = Splitter2->sizes().value(1); });
    settings_.previewHeight = qMax(ini.readInteger(Preview, "Height", geometry().height() / 3), 1);
    QSplitter* Splitter3 = detection_->previewSplitter();
    Splitter3->setSizes({qMax(geometry().height() - settings_.previewHeight, 1), settings_.previewHeight});
    connect(Splitter3, &QSplitter::splitterMoved, this,
            [this, Splitter3] { settings_.previewHeight = Splitter3->sizes().value(1); });
    // The panes keep their share of the window as it grows, stored in thousandths beside the sizes.
    new SplitterShare(Splitter2, settings_.previewWidth, geometry().width(), ini.readInteger(Preview, "WidthShare", -1));
    new SplitterShare(Splitter3, settings_.previewHeight, geometry().height(),
                      ini.readInteger(Preview, "HeightShare", -1));
}

void Form1::reportUnwritableSettings()
{
    QString text = tr8(texts::CannotWriteSettings);
    text.replace(QStringLiteral("%s"), shownText(bytes(settings_.file)));
    services_.dialogs->showError(this, text);
}

bool Form1::userAgreesToQuit()
{
    if (quitAgreed_ || !CloseQuery1->isChecked())
        return true;
    // A second close request while the question is open is the same request.
    if (askingToQuit_)
        return false;
    askingToQuit_ = true;
    quitAgreed_ = services_.dialogs->askYesNo(this, tr8(texts::QuitQuestion), tr8(texts::ApplicationTitle));
    askingToQuit_ = false;
    return quitAgreed_;
}

bool Form1::FormCloseQuery()
{
    if (!userAgreesToQuit())
        return false;

    // Sections and keys of other versions stay as they are. A file that is there but cannot be
    // read is never replaced: writing would lose everything in it that is not ours.
    LoadedIni loaded = loadIni(settings_.file);
    if (loaded.unreadable) {
        reportUnwritableSettings();
        return true;
    }
    IniFile& ini = loaded.ini;
    const QString exe = QCoreApplication::applicationFilePath();
    writeText(ini, Program, "Name", bytes(QFileInfo(exe).fileName()));
    writeText(ini, Program, "Path", bytes(QCoreApplication::applicationDirPath() + QLatin1Char('/')));
    writeText(ini, Program, "Version", std::string(texts::VersionText));

    if (SaveStatus1->isChecked()) {
        // A maximised or minimised window keeps the normal rectangle it last had (at first the
        // one the settings gave it), never the maximised one.
        const QRect normal = windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)
                                 ? settings_.normalRect
                                 : geometry();
        const bool minimised = isMinimized();
        const bool maximised = !minimised && isMaximized();
        ini.writeInteger(Position, "Flags", settings_.placementFlags);
        ini.writeInteger(Position, "ShowCmd", minimised ? ShowMinimised : maximised ? ShowMaximised : ShowNormal);
        ini.writeInteger(Position, "MaxX", settings_.placementMaxX);
        ini.writeInteger(Position, "MaxY", settings_.placementMaxY);
        ini.writeInteger(Position, "Left", normal.left());
        ini.writeInteger(Position, "Top", normal.top());
        ini.writeInteger(Position, "Right", normal.left() + normal.width());
        ini.writeInteger(Position, "Bottom", normal.top() + normal.height());
        ini.writeInteger(Position, "State", minimised ? StateMinimised : maximised ? StateMaximised : StateNormal);
        ini.writeBool(Option, "CloseQuery", CloseQuery1->isChecked());
        ini.writeBool(Option, "SaveStatus", SaveStatus1->isChecked());
        writeText(ini, Option, "InitialDir", folderPaneFolderBytes());
        // The pane's own width while the detection tab shows it; otherwise the width it last had
        // (a hidden tab is not laid out again when the window changes size).
        ini.writeInteger(Option, "FolderPaneWidth",
                         detection_->folderSplitter()->isVisible() ? detection_->folderPanel()->width()
                                                                   : settings_.folderPaneWidth);
        ini.writeInteger(Option, "ScrollPosX", folderPaneScrollX());
        // The sizes in the normal window, which the rectangle above describes.
        ini.writeInteger(Preview, "Width", SplitterShare::of(workspacePage_->previewSplitter())->normalSize());
        ini.writeInteger(Preview, "Height", SplitterShare::of(detection_->previewSplitter())->normalSize());
        ini.writeInteger(Preview, "WidthShare", SplitterShare::of(workspacePage_->previewSplitter())->perMille());
        ini.writeInteger(Preview, "HeightShare", SplitterShare::of(detection_->previewSplitter())->perMille());
    } else {
        ini.eraseSection(Position);
        ini.eraseSection(Option);
        ini.eraseSection(Preview);
    }

    if (!saveIni(settings_.file, ini))
        reportUnwritableSettings();
    // The window closes even when the file could not be written: the user has been told, and
    // refusing would leave no way to end the program while the file stays unwritable.
    return true;
}

}  // namespace tessaly
