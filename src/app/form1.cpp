#include "app/form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "app/command_line.h"
#include "app/startup.h"
#include "app/toolbar_icons.h"
#include "common/dialogs.h"
#include "common/qt_icon_list.h"
#include "common/qt_log_model.h"
#include "common/qt_log_view.h"
#include "common/qt_name_label.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "desktop/about_box.h"
#include "desktop/qt_desktop_actions.h"
#include "detect/qt_detection.h"
#include "platform/window_system.h"
#include "streams/names.h"
#include "streams/qt_preview_pane.h"
#include "streams/qt_workspace_page.h"

namespace tessaly {

// The tab row of PageControl1: every tab as wide as the window says (a fifth of the control).
class FixedWidthTabBar final : public QTabBar {
public:
    explicit FixedWidthTabBar(QWidget* parent = nullptr) : QTabBar(parent) { setElideMode(Qt::ElideRight); }
    void setTabWidth(int width)
    {
        if (width == width_)
            return;
        width_ = width;
        // Setting the elide mode makes the bar lay its tabs out again with the new hint.
        setElideMode(elideMode());
    }
    int tabWidth() const { return width_; }

protected:
    QSize tabSizeHint(int index) const override
    {
        QSize size = QTabBar::tabSizeHint(index);
        if (width_ > 0)
            size.setWidth(width_);
        return size;
    }

private:
    int width_ = 0;
};

class PageControl final : public QTabWidget {
public:
    explicit PageControl(QWidget* parent) : QTabWidget(parent), bar_(new FixedWidthTabBar) { setTabBar(bar_); }
    FixedWidthTabBar* bar() const { return bar_; }

private:
    FixedWidthTabBar* bar_;
};

QString Form1::qs(const std::string& bytes)
{
    return pathText(bytes);
}

std::string Form1::bytes(const QString& text)
{
    return pathBytes(text);
}

namespace {
std::vector<std::string> argumentBytes(const QStringList& arguments)
{
    std::vector<std::string> out;
    for (const QString& a : arguments)
        out.push_back(Form1::bytes(a));
    return out;
}

}  // namespace

Form1::Form1(Services services, const QStringList& arguments, QWidget* parent)
    : Form1(std::move(services), CommandLineBytes(argumentBytes(arguments)), parent)
{
}

Form1::Form1(Services services, CommandLineBytes arguments, QWidget* parent)
    : QMainWindow(parent),
      services_(std::move(services)),
      arguments_(CommandLinePaths(arguments.arguments, CurrentFolder())),
      logLines_(std::make_unique<LogModel>()),
      log_(*logLines_),
      ImageList2(std::make_unique<QtIconList>())
{
    setObjectName(QStringLiteral("Form1"));
    FindFileTypeIcons();
    editor_ = std::make_unique<WorkspaceEditor>(workspace_, *services_.fs, *ImageList2, log_);
    connect(ImageList2.get(), &QtIconList::iconChanged, this, &Form1::showNodeIcon);
    setWindowIcon(ApplicationIcon());
    buildActions();
    buildMenus();
    buildToolBar();
    buildPages();
    buildStatusBar();
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1Timer);
    FormCreate();
}

Form1::~Form1() = default;

QAction* Form1::makeAction(const char* name, std::string_view caption, void (Form1::*handler)())
{
    auto* action = new QAction(tr8(caption), this);
    action->setObjectName(QLatin1String(name));
    if (handler)
        connect(action, &QAction::triggered, this, handler);
    return action;
}

void Form1::buildActions()
{
    New1 = makeAction("New1", texts::MenuNew, &Form1::New1Click);
    New1->setIcon(ToolbarIcon(ToolbarImage::New));
    Open1 = makeAction("Open1", texts::MenuOpen, &Form1::Open1Click);
    Open1->setIcon(ToolbarIcon(ToolbarImage::Open));
    Open1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Save1 = makeAction("Save1", texts::MenuSave, &Form1::Save1Click);
    Save1->setIcon(ToolbarIcon(ToolbarImage::Save));
    Save1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    SaveAs1 = makeAction("SaveAs1", texts::MenuSaveAs, &Form1::SaveAs1Click);
    SaveAs1->setIcon(ToolbarIcon(ToolbarImage::SaveAs));
    SaveSelected1 = makeAction("SaveSelected1", texts::MenuSaveSelected, &Form1::SaveAs2Click);
    Exit1 = makeAction("Exit1", texts::MenuExit, &Form1::Exit1Click);
    Exit1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));

    CloseQuery1 = makeAction("CloseQuery1", texts::MenuCloseQuery, nullptr);
    CloseQuery1->setCheckable(true);
    SaveStatus1 = makeAction("SaveStatus1", texts::MenuSaveStatus, nullptr);
    SaveStatus1->setCheckable(true);

    desktop_ = new DesktopActions(*this, services_.dialogs, services_.shortcuts, services_.urls);

    ToolButton1 = makeAction("ToolButton1", texts::HintNew, &Form1::New1Click);
    ToolButton1->setIcon(ToolbarIcon(ToolbarImage::New));
    ToolButton2 = makeAction("ToolButton2", texts::HintOpen, &Form1::Open1Click);
    ToolButton2->setIcon(ToolbarIcon(ToolbarImage::Open));
    ToolButton3 = makeAction("ToolButton3", texts::HintSave, &Form1::Save1Click);
    ToolButton3->setIcon(ToolbarIcon(ToolbarImage::Save));
    ToolButton4 = makeAction("ToolButton4", texts::HintSaveAs, &Form1::SaveAs1Click);
    ToolButton4->setIcon(ToolbarIcon(ToolbarImage::SaveAs));

}

void Form1::buildMenus()
{
    QMenu* file = menuBar()->addMenu(tr8(texts::MenuFile));
    file->setObjectName(QStringLiteral("FileMenu"));
    file->addActions({New1, Open1});
    file->addSeparator();
    file->addActions({Save1, SaveAs1, SaveSelected1});
    file->addSeparator();
    QMenu* cut = file->addMenu(tr8(texts::MenuShortcut));
    cut->setObjectName(QStringLiteral("Cut1"));
    cut->addActions({desktop_->DeskTop1, desktop_->StartUp1, desktop_->StartMenu1});
    file->addAction(Exit1);

    QMenu* options = menuBar()->addMenu(tr8(texts::MenuOptions));
    options->setObjectName(QStringLiteral("OptionMenu"));
    options->addActions({CloseQuery1, SaveStatus1});

    QMenu* help = menuBar()->addMenu(tr8(texts::MenuHelp));
    help->setObjectName(QStringLiteral("HelpMenu"));
    help->addActions({desktop_->Help2, desktop_->About1});
    help->addSeparator();
    help->addAction(desktop_->Site1);

}

void Form1::buildToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    ToolBar1->addActions({ToolButton1, ToolButton2});
    ToolBar1->addSeparator();
    ToolBar1->addActions({ToolButton3, ToolButton4});
    for (QAction* a : {ToolButton1, ToolButton2, ToolButton3, ToolButton4})
        if (QWidget* w = ToolBar1->widgetForAction(a))
            w->setCursor(Qt::PointingHandCursor);
    // A light gradient from the desktop's own colours sets the toolbar off from the menu bar.
    ToolBar1->setStyleSheet(QStringLiteral(
        "QToolBar#ToolBar1 { border: none; background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,"
        " stop: 0 palette(light), stop: 1 palette(midlight)); }"));
}

void Form1::buildPages()
{
    PageControl1 = new PageControl(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->tabBar()->setCursor(Qt::PointingHandCursor);
    setCentralWidget(PageControl1);

    workspacePage_ = buildWorkspacePage();
    PageControl1->addTab(workspacePage_, tr8(texts::TabComposition));

    detection_ = buildDetectionPage();
    PageControl1->addTab(detection_, tr8(texts::TabDetection));

    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    auto* l3 = new QVBoxLayout(TabSheet3);
    l3->setContentsMargins(0, 0, 0, 0);
    Memo1 = new LogView(logLines_.get(), TabSheet3);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    l3->addWidget(Memo1);
    PageControl1->addTab(TabSheet3, tr8(texts::TabLog));

    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
        // Scroll once the page has been shown and laid out.
        QTimer::singleShot(0, this, [this, index] {
            if (PageControl1->currentIndex() == index)
                PageControl1Change(index);
        });
    });
}

void Form1::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    // Opaque: the message changes many times a second while a scan runs, and its repaints stop at
    // the bar rather than repaint the window beneath.
    bar->setAutoFillBackground(true);
    StatusPanel0 = new QLabel;
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setAlignment(Qt::AlignCenter);
    StatusPanel0->setTextFormat(Qt::PlainText);
    StatusPanel0->setFixedWidth(120);
    StatusPanel0->setFrameShape(QFrame::StyledPanel);
    // The message shows names: elided to the panel, never widening the window.
    StatusPanel1 = new NameLabel(NameLabel::Fit::Elide);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setAlignment(Qt::AlignCenter);
    StatusPanel1->setFrameShape(QFrame::StyledPanel);
    bar->addWidget(StatusPanel0);
    bar->addWidget(StatusPanel1, 1);
}

QString Form1::statusText() const
{
    return StatusPanel1->text();
}

void Form1::setStatusText(const QString& text)
{
    StatusPanel1->setText(text);
}

void Form1::FormCreate()
{
    setWindowTitle(tr8(texts::ApplicationTitle));
    // Placement, options, the initial folder and the folder pane's width (the settings file).
    readSettings();
    setAcceptDrops(true);
    PageControl1->setCurrentIndex(0);
    New1Click();
    Memo1->clear();
    createFolderPane();
    setFolderPaneScrollX(settings_.heldScrollX);
    SeedAboutBoxColours(std::uint32_t(QDateTime::currentMSecsSinceEpoch()));
    Timer1Timer();
    Timer1->start();
}

void Form1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
        // Once the window is up and waiting: not with a scan's first rows.
        QTimer::singleShot(0, this, [] { PrepareTypeIcons(QSize(16, 16)); });
    }
}

void Form1::FormShow()
{
    // The system's own spelling of the path (backslashes on Windows).
    const std::string exe = ExecutablePath();
    if (arguments_.empty()) {
        log_.AppendLogLine(texts::StartedAlone, exe);
    } else if (arguments_.size() == 1) {
        const std::string& path = arguments_.front();
        log_.AppendLogLine(texts::StartedByDrop, exe + " " + path);
        editor_->LoadIntoWorkspace(path);
        showWorkspace();
        setStatusText(shownText(FinalNameComponent(path)) + tr8(texts::StatusReceived));
    } else {
        ending_ = true;
        services_.dialogs->showMessage(this, tr8(texts::OnlyOneParent), tr8(texts::ApplicationTitle));
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
        settings_.normalRect = geometry();
    FormResize();
}

void Form1::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
        settings_.normalRect = geometry();
}

void Form1::FormResize()
{
    // Panel 0 keeps its 120 pixels; panel 1 takes the rest (the status bar's layout stretches it).
    // The three visible tabs take three fifths of the row.
    static_cast<PageControl*>(PageControl1)->bar()->setTabWidth(PageControl1->contentsRect().width() / 5);
    CenterCancelButton();
}

void Form1::Timer1Timer()
{
    StatusPanel0->setText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")));
}

void Form1::PageControl1Change(int index)
{
    if (index != 2)
        return;
    // The newest line in view, read from its start however long it is.
    Memo1->scrollToEnd();
}

void Form1::DeskTop1Click() { desktop_->registerOnDesktop(); }
void Form1::StartUp1Click() { desktop_->registerInStartup(); }
void Form1::StartMenu1Click() { desktop_->registerInStartMenu(); }
void Form1::Help2Click() { desktop_->showHelp(); }
void Form1::About1Click() { desktop_->showAbout(); }
void Form1::Site1Click() { desktop_->showHomePage(); }

void Form1::Exit1Click()
{
    close();
}

void Form1::closeEvent(QCloseEvent* event)
{
    // During a scan the window closes once the scan has returned. The question comes before the
    // cancel, so that "no" leaves the scan running and its result whole.
    if (scanRunning()) {
        event->ignore();
        if (!closeWhenScanEnds_ && userAgreesToQuit()) {
            closeWhenScanEnds_ = true;
            CancelBtn1Click();
        }
        return;
    }
    // Ending after a refused command line writes nothing.
    if (ending_ || FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

namespace {
// The dropped local files as bytes. The raw "text/uri-list" is decoded here rather than through
// QUrl, which would turn a name that is not valid UTF-8 into a different one.
std::vector<std::string> droppedPaths(const QMimeData* data)
{
    static const QString uriList = QStringLiteral("text/uri-list");
    if (data->hasFormat(uriList)) {
        const QByteArray list = data->data(uriList);
        return LocalPathsFromUriList(std::string_view(list.constData(), std::size_t(list.size())));
    }
    std::vector<std::string> paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths.push_back(Form1::bytes(url.toLocalFile()));
    return paths;
}
}  // namespace

// Only local files can be taken; a drag of web links alone is refused at the door.
void Form1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedPaths(event->mimeData()).empty())
        event->acceptProposedAction();
}

void Form1::dragMoveEvent(QDragMoveEvent* event)
{
    if (!droppedPaths(event->mimeData()).empty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event)
{
    const std::vector<std::string> paths = droppedPaths(event->mimeData());
    if (paths.empty())
        return;
    event->acceptProposedAction();
    dropFiles(paths);
}

bool Form1::dialogChoiceUsable(const QString& chosen)
{
    if (!chosen.contains(QChar::ReplacementCharacter) || QFileInfo::exists(chosen))
        return true;
    QString text = tr8(texts::DialogCannotCarryName);
    text.replace(QStringLiteral("%s"), chosen);
    services_.dialogs->showMessage(this, text, tr8(texts::ApplicationTitle));
    return false;
}

void Form1::applySaveCommandsEnabled()
{
    const bool on = workspace_.saveCommandsEnabled();
    for (QAction* a : {Save1, SaveAs1, SaveSelected1, ToolButton3, ToolButton4})
        a->setEnabled(on);
}

void Form1::showWorkspace()
{
    workspacePage_->showWorkspace();
    applySaveCommandsEnabled();
    PopupMenu1Popup();
    PreviewSelectedNode();
}

void Form1::showNodeIcon(int image) { workspacePage_->showNodeIcon(image); }
void Form1::selectNode(int index) { workspacePage_->selectNode(index); }

}  // namespace tessaly
