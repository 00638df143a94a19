#pragma once
// The main window: the workspace tree, the detection pane and the operation log on three tabs, the
// menus, the toolbar and the status bar with its clock. Handlers keep to their controls: they read
// input, call the core and show the result. Handlers of a subsystem live in that subsystem's folder.

#include <QMainWindow>
#include <QRect>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

#include "app/services.h"
#include "app/window_settings.h"
#include "common/oplog.h"
#include "streams/workspace.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTimer;
class QToolBar;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace tessaly {

class QtIconList;
class NameLabel;
class LogModel;
class LogView;
struct SaveOutcome;
class DetectionPage;
class WorkspacePage;
class DesktopActions;
class PreviewPane;
enum class ExportFormat;

// The command line without the program name, as the bytes the process was given.
struct CommandLineBytes {
    explicit CommandLineBytes(std::vector<std::string> items) : arguments(std::move(items)) {}
    std::vector<std::string> arguments;
};

class Form1 : public QMainWindow {
    Q_OBJECT

public:
    // arguments: the command line without the program name. Empty arguments name nothing and are
    // passed over; relative paths are taken against the current folder.
    Form1(Services services, CommandLineBytes arguments, QWidget* parent = nullptr);
    // The same, from texts (each encoded back to the file system's bytes).
    Form1(Services services, const QStringList& arguments, QWidget* parent = nullptr);
    ~Form1() override;

    // Application frame.
    void FormCreate();
    void FormShow();
    void FormResize();
    void Timer1Timer();
    void PageControl1Change(int index);
    void CenterCancelButton();
    void Exit1Click();

    // Workspace commands.
    void dropFiles(const std::vector<std::string>& paths);
    void New1Click();
    void Open1Click();
    void Delete2Click();
    void TreeView1Click();
    void PopupMenu1Popup();

    // Saving.
    void Save1Click();
    void SaveAs1Click();
    void SaveAs2Click();
    // Whether a path chosen in a file dialog can be used. The dialogs carry names as text: a name
    // that is not valid UTF-8 comes back with U+FFFD in its place and would name another file.
    // Such a choice, unless it names an existing file as it is, is refused with a message.
    bool dialogChoiceUsable(const QString& chosen);
    // Shows SaveDialog1 with its remembered file name; the chosen path, or empty when cancelled.
    QString SaveDialog1Execute();
    void showSaveOutcome(const SaveOutcome& outcome, bool reloaded);

    // Opening items.
    void TreeView1DblClick();
    void NotePad2Click();
    void OpenBy2Click();
    void OpenByDirect2Click();
    void CopyOpen2Click();
    void Property2Click();
    void CopyFileName2Click();

    // Detection.
    void FolderPaneClick();
    void FolderPaneDblClick();
    void CancelBtn1Click();
    void ListView1DblClick();
    void CopyAll4Click();
    // The result list written to a file chosen by the user, in the formats of "tessaly scan".
    void SaveCsv4Click();
    void SaveJson4Click();
    // Whether a folder scan is running (FolderPaneDblClick starts it on a worker).
    bool scanRunning() const;

    // Desktop integration.
    void DeskTop1Click();
    void StartUp1Click();
    void StartMenu1Click();
    void Help2Click();
    void About1Click();
    void Site1Click();

    // Preview panes: the selected workspace node, the selected row of the detection list.
    void PreviewSelectedNode();
    void PreviewScanRow(int row);

    // Settings: read while the window is created, written when it may close (false refuses).
    void readSettings();
    bool FormCloseQuery();
    void reportUnwritableSettings();
    // The folder pane of the detection tab: created at start, and what the settings keep of it.
    void createFolderPane();
    QString folderPaneFolder() const;
    std::string folderPaneFolderBytes() const;
    void setFolderPaneFolder(const QString& folder);
    void setFolderPaneFolder(const std::string& folder);
    int folderPaneScrollX() const;
    void setFolderPaneScrollX(int value);

    // State the tests and the subsystems read.
    const Workspace& workspace() const { return workspace_; }
    WorkspaceEditor& editor() { return *editor_; }
    OperationLog& log() { return log_; }
    Services& services() { return services_; }
    QString statusText() const;
    void setStatusText(const QString& text);
    // Selects workspace node index (0 the root) as a click would.
    void selectNode(int index);
    // Rebuilds the tree widget from the workspace and refreshes the commands' enabled state.
    void showWorkspace();
    // Puts icon image, decoded after the tree was shown, on the nodes that use it.
    void showNodeIcon(int image);
    // Whether the program is ending without closing normally (more than one argument).
    bool isEnding() const { return ending_; }
    // The settings held from start to close.
    const WindowSettings& settings() const { return settings_; }
    WindowSettings& settings() { return settings_; }

    static QString qs(const std::string& bytes);  // path bytes to text for display
    static std::string bytes(const QString& text);  // display text back to path bytes

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildActions();
    void buildMenus();
    void buildToolBar();
    void buildPages();
    void buildStatusBar();
    void applySaveCommandsEnabled();
    QAction* makeAction(const char* name, std::string_view caption, void (Form1::*handler)());
    // The workspace tab, its commands and signals connected.
    WorkspacePage* buildWorkspacePage();
    // The detection tab, its signals connected.
    DetectionPage* buildDetectionPage();
    // The end of a scan: the close that was asked for while it ran.
    void scanFinished();
    // A result of the detection list loaded into a fresh workspace.
    void loadFromDetectionList(const std::string& path);
    // The quit question, when the option asks for it; true to go on closing.
    bool userAgreesToQuit();

    Services services_;
    std::vector<std::string> arguments_;  // paths, absolute
    bool shown_ = false;
    bool ending_ = false;

    std::unique_ptr<LogModel> logLines_;  // what Memo1 shows
    OperationLog log_;
    std::unique_ptr<QtIconList> ImageList2;
    Workspace workspace_;
    std::unique_ptr<WorkspaceEditor> editor_;
    WorkspacePage* workspacePage_ = nullptr;  // TabSheet1, owned by PageControl1
    DetectionPage* detection_ = nullptr;  // TabSheet4, owned by PageControl1
    DesktopActions* desktop_ = nullptr;   // the desktop commands, owned as a child object
    bool closeWhenScanEnds_ = false;  // a close was asked for and agreed to while a scan ran
    bool quitAgreed_ = false;  // "はい" given: the close that follows the cancelled scan asks no more
    bool askingToQuit_ = false;
    WindowSettings settings_;

    // Controls and commands, each with its object name equal to the member's name.
    QToolBar* ToolBar1 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet3 = nullptr;
    LogView* Memo1 = nullptr;
    QLabel* StatusPanel0 = nullptr;
    NameLabel* StatusPanel1 = nullptr;
    QTimer* Timer1 = nullptr;

    QAction *New1 = nullptr, *Open1 = nullptr, *Save1 = nullptr, *SaveAs1 = nullptr, *SaveSelected1 = nullptr,
            *Exit1 = nullptr;
    QAction *CloseQuery1 = nullptr, *SaveStatus1 = nullptr;
    QAction *ToolButton1 = nullptr, *ToolButton2 = nullptr, *ToolButton3 = nullptr, *ToolButton4 = nullptr;
};

}  // namespace tessaly
