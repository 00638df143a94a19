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
#include "common/qt_log_view.h"
#include "common/qt_name_label.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "desktop/about_box.h"
#include "platform/window_system.h"
#include "streams/names.h"
#include "streams/qt_preview_pane.h"

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

// Lines go to Memo1, which keeps every one of them.
class MemoLogSink final : public LogSink {
public:
    explicit MemoLogSink(LogView*& memo) : memo_(memo) {}
    void appendLine(const std::string& line) override
    {
        if (memo_)
            memo_->appendLines(line);
    }

private:
    LogView*& memo_;
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

// A splitter with the main view first, taking the spare room, and a preview pane second.
QSplitter* previewSplitter(const QString& name, Qt::Orientation orientation, QWidget* parent, QWidget* view,
                           QWidget* preview)
{
    auto* splitter = new QSplitter(orientation, parent);
    splitter->setObjectName(name);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(view);
    splitter->addWidget(preview);
    splitter->setStretchFactor(0, 1);
    return splitter;
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
      sink_(std::make_unique<MemoLogSink>(Memo1)),
      log_(*sink_),
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
    DeskTop1 = makeAction("DeskTop1", texts::MenuDesktop, &Form1::DeskTop1Click);
    StartUp1 = makeAction("StartUp1", texts::MenuStartUp, &Form1::StartUp1Click);
    StartMenu1 = makeAction("StartMenu1", texts::MenuStartMenu, &Form1::StartMenu1Click);
    Exit1 = makeAction("Exit1", texts::MenuExit, &Form1::Exit1Click);
    Exit1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));

    CloseQuery1 = makeAction("CloseQuery1", texts::MenuCloseQuery, nullptr);
    CloseQuery1->setCheckable(true);
    SaveStatus1 = makeAction("SaveStatus1", texts::MenuSaveStatus, nullptr);
    SaveStatus1->setCheckable(true);

    Help2 = makeAction("Help2", texts::MenuShowHelp, &Form1::Help2Click);
    Help2->setShortcut(QKeySequence(Qt::Key_F1));
    About1 = makeAction("About1", texts::MenuAbout, &Form1::About1Click);
    Site1 = makeAction("Site1", texts::MenuSite, &Form1::Site1Click);

    ToolButton1 = makeAction("ToolButton1", texts::HintNew, &Form1::New1Click);
    ToolButton1->setIcon(ToolbarIcon(ToolbarImage::New));
    ToolButton2 = makeAction("ToolButton2", texts::HintOpen, &Form1::Open1Click);
    ToolButton2->setIcon(ToolbarIcon(ToolbarImage::Open));
    ToolButton3 = makeAction("ToolButton3", texts::HintSave, &Form1::Save1Click);
    ToolButton3->setIcon(ToolbarIcon(ToolbarImage::Save));
    ToolButton4 = makeAction("ToolButton4", texts::HintSaveAs, &Form1::SaveAs1Click);
    ToolButton4->setIcon(ToolbarIcon(ToolbarImage::SaveAs));

    Open2 = makeAction("Open2", texts::PopupOpen, &Form1::TreeView1DblClick);
    // The first key is the one the menu shows: "Enter" (both Enter keys act).
    Open2->setShortcuts({QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)});
    NotePad2 = makeAction("NotePad2", texts::PopupNotePad, &Form1::NotePad2Click);
    OpenBy2 = makeAction("OpenBy2", texts::PopupOpenBy, &Form1::OpenBy2Click);
    OpenByDirect2 = makeAction("OpenByDirect2", texts::PopupOpenByDirect, &Form1::OpenByDirect2Click);
    CopyOpen2 = makeAction("CopyOpen2", texts::PopupCopyOpen, &Form1::CopyOpen2Click);
    CopyOpen2->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Enter), QKeySequence(Qt::ALT | Qt::Key_Return)});
    SaveAs2 = makeAction("SaveAs2", texts::PopupSaveAs, &Form1::SaveAs2Click);
    Delete2 = makeAction("Delete2", texts::PopupDelete, &Form1::Delete2Click);
    Delete2->setShortcut(QKeySequence(Qt::Key_Delete));
    Property2 = makeAction("Property2", texts::PopupProperty, &Form1::Property2Click);
    CopyFileName2 = makeAction("CopyFileName2", texts::PopupCopyFileName, &Form1::CopyFileName2Click);

    ReadIn4 = makeAction("ReadIn4", texts::PopupReadIn, &Form1::ListView1DblClick);
    ReadIn4->setShortcuts({QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)});
    CopyAll4 = makeAction("CopyAll4", texts::PopupCopyAll, &Form1::CopyAll4Click);
    SaveCsv4 = makeAction("SaveCsv4", texts::PopupSaveCsv, &Form1::SaveCsv4Click);
    SaveJson4 = makeAction("SaveJson4", texts::PopupSaveJson, &Form1::SaveJson4Click);
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
    cut->addActions({DeskTop1, StartUp1, StartMenu1});
    file->addAction(Exit1);

    QMenu* options = menuBar()->addMenu(tr8(texts::MenuOptions));
    options->setObjectName(QStringLiteral("OptionMenu"));
    options->addActions({CloseQuery1, SaveStatus1});

    QMenu* help = menuBar()->addMenu(tr8(texts::MenuHelp));
    help->setObjectName(QStringLiteral("HelpMenu"));
    help->addActions({Help2, About1});
    help->addSeparator();
    help->addAction(Site1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addActions({Open2, NotePad2, OpenBy2, OpenByDirect2, CopyOpen2});
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({SaveAs2, Delete2});
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({Property2, CopyFileName2});

    PopupMenu4 = new QMenu(this);
    PopupMenu4->setObjectName(QStringLiteral("PopupMenu4"));
    PopupMenu4->addAction(ReadIn4);
    PopupMenu4->addSeparator();
    PopupMenu4->addAction(CopyAll4);
    PopupMenu4->addActions({SaveCsv4, SaveJson4});
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

    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto* l1 = new QVBoxLayout(TabSheet1);
    l1->setContentsMargins(3, 3, 3, 3);
    TreeView1 = new QTreeWidget(TabSheet1);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(20);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setIconSize(QSize(16, 16));
    TreeView1->setMouseTracking(true);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView1->setExpandsOnDoubleClick(false);
    // Shortcuts of the context menu act while the tree has the focus.
    for (QAction* a : {Open2, CopyOpen2, Delete2}) {
        a->setShortcutContext(Qt::WidgetShortcut);
        TreeView1->addAction(a);
    }
    createPreviewPanes();
    Splitter2 = previewSplitter(QStringLiteral("Splitter2"), Qt::Horizontal, TabSheet1, TreeView1, PreviewPane1);
    l1->addWidget(Splitter2);
    // A right click reaches the viewport (and selects the node under it); the menu key reaches the
    // tree itself and keeps the selection.
    TreeView1->viewport()->installEventFilter(this);
    connect(TreeView1, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showTreeContextMenu(pos, false); });
    connect(TreeView1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item)
            return;
        workspace_.select(item->parent() ? item->parent()->indexOfChild(item) + 1 : 0);
        PopupMenu1Popup();
        PreviewSelectedNode();
    });
    connect(TreeView1, &QTreeWidget::itemClicked, this, [this] { TreeView1Click(); });
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, [this] { TreeView1DblClick(); });
    PageControl1->addTab(TabSheet1, tr8(texts::TabComposition));

    TabSheet4 = new QWidget;
    TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
    auto* l4 = new QHBoxLayout(TabSheet4);
    l4->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, TabSheet4);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setOpaqueResize(true);
    Splitter1->setChildrenCollapsible(false);
    Panel4 = new QWidget;
    Panel4->setObjectName(QStringLiteral("Panel4"));
    auto* p4 = new QVBoxLayout(Panel4);
    p4->setContentsMargins(0, 0, 0, 0);
    Panel1 = new QWidget;
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* p1 = new QVBoxLayout(Panel1);
    p1->setContentsMargins(0, 0, 0, 0);
    ListView1 = new QTreeView(Panel1);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ReadIn4->setShortcutContext(Qt::WidgetShortcut);
    ListView1->addAction(ReadIn4);
    connect(ListView1, &QTreeView::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu4->exec(ListView1->viewport()->mapToGlobal(pos)); });
    Splitter3 = previewSplitter(QStringLiteral("Splitter3"), Qt::Vertical, Panel1, ListView1, PreviewPane2);
    p1->addWidget(Splitter3);
    CancelBtn1 = new QPushButton(tr8(texts::CancelCaption), Panel1);
    CancelBtn1->setObjectName(QStringLiteral("CancelBtn1"));
    CancelBtn1->setFixedSize(177, 49);
    CancelBtn1->setCursor(Qt::PointingHandCursor);
    CancelBtn1->hide();
    connect(CancelBtn1, &QPushButton::clicked, this, &Form1::CancelBtn1Click);
    Splitter1->addWidget(Panel4);
    Splitter1->addWidget(Panel1);
    Splitter1->setStretchFactor(1, 1);
    connect(Splitter1, &QSplitter::splitterMoved, this, &Form1::CenterCancelButton);
    l4->addWidget(Splitter1);
    PageControl1->addTab(TabSheet4, tr8(texts::TabDetection));

    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    auto* l3 = new QVBoxLayout(TabSheet3);
    l3->setContentsMargins(0, 0, 0, 0);
    Memo1 = new LogView(TabSheet3);
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
    Panel1->installEventFilter(this);
}

void Form1::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
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

void Form1::CenterCancelButton()
{
    if (CancelBtn1->parentWidget() != Panel1)
        CancelBtn1->setParent(Panel1);
    CancelBtn1->move((ListView1->width() - CancelBtn1->width()) / 2 + ListView1->x(),
                     (Panel1->height() - CancelBtn1->height()) / 2);
    CancelBtn1->raise();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Panel1 && event->type() == QEvent::Resize)
        CenterCancelButton();
    if (TreeView1 && watched == TreeView1->viewport() && event->type() == QEvent::ContextMenu) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        showTreeContextMenu(menuEvent->pos(), menuEvent->reason() == QContextMenuEvent::Mouse);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
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
    const QSignalBlocker blocker(TreeView1);
    TreeView1->clear();
    // A node shows its path escaped; the raw bytes ride along in the user role, and every command
    // works on the workspace's own node, never on the shown text.
    const auto addNode = [this](QTreeWidgetItem* item, const WorkspaceNode& node) {
        item->setText(0, shownText(node.text));
        item->setData(0, Qt::UserRole, QByteArray::fromStdString(node.text));
        item->setIcon(0, ImageList2->icon(node.image));
        return item;
    };
    auto* root = addNode(new QTreeWidgetItem(TreeView1), workspace_.root());
    for (int i = 1; i < workspace_.nodeCount(); ++i)
        addNode(new QTreeWidgetItem(root), workspace_.node(i));
    TreeView1->expandAll();
    const int selected = workspace_.selected();
    if (selected == 0)
        TreeView1->setCurrentItem(root);
    else if (selected > 0)
        TreeView1->setCurrentItem(root->child(selected - 1));
    applySaveCommandsEnabled();
    PopupMenu1Popup();
    PreviewSelectedNode();
}

// An icon decoded after its node was shown.
void Form1::showNodeIcon(int image)
{
    QTreeWidgetItem* root = TreeView1->topLevelItem(0);
    if (!root)
        return;
    for (int i = 0; i < workspace_.nodeCount(); ++i)
        if (QTreeWidgetItem* item = i == 0 ? root : root->child(i - 1); item && workspace_.node(i).image == image)
            item->setIcon(0, ImageList2->icon(image));
}

void Form1::selectNode(int index)
{
    QTreeWidgetItem* root = TreeView1->topLevelItem(0);
    if (!root)
        return;
    TreeView1->setCurrentItem(index == 0 ? root : root->child(index - 1));
}

void Form1::showTreeContextMenu(const QPoint& pos, bool byMouse)
{
    // A right click selects the node under the pointer before the menu opens; over empty space, or
    // from the keyboard, the selection stays.
    QPoint at = pos;
    if (byMouse) {
        if (QTreeWidgetItem* item = TreeView1->itemAt(pos))
            TreeView1->setCurrentItem(item);
    } else if (QTreeWidgetItem* current = TreeView1->currentItem()) {
        at = TreeView1->visualItemRect(current).center();
    }
    PopupMenu1Popup();
    PopupMenu1->exec(TreeView1->viewport()->mapToGlobal(at));
}

}  // namespace tessaly
