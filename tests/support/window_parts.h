#pragma once
// The main window's controls and commands as a test finds them: by their object names, as the
// window's own pages name them. A missing name fails the test at once.

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QWidget>

#include "common/qt_log_view.h"
#include "common/qt_name_label.h"
#include "streams/qt_preview_pane.h"

namespace tessaly::test {

template <class T>
T* Named(const QObject& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("the window has no %s", name);
    return found;
}

#define TESSALY_WINDOW_PART(Type, name) \
    inline Type* name(const QObject& window) { return Named<Type>(window, #name); }

TESSALY_WINDOW_PART(QTabWidget, PageControl1)
TESSALY_WINDOW_PART(QTreeWidget, TreeView1)
TESSALY_WINDOW_PART(LogView, Memo1)
TESSALY_WINDOW_PART(QTableView, ListView1)
TESSALY_WINDOW_PART(QTreeView, FolderPane)
TESSALY_WINDOW_PART(QPushButton, CancelBtn1)
TESSALY_WINDOW_PART(QWidget, Panel1)
TESSALY_WINDOW_PART(QWidget, Panel4)
TESSALY_WINDOW_PART(PreviewPane, PreviewPane1)
TESSALY_WINDOW_PART(PreviewPane, PreviewPane2)
TESSALY_WINDOW_PART(QLabel, StatusPanel0)
TESSALY_WINDOW_PART(NameLabel, StatusPanel1)
TESSALY_WINDOW_PART(QTimer, Timer1)
TESSALY_WINDOW_PART(QMenu, PopupMenu1)
TESSALY_WINDOW_PART(QAction, New1)
TESSALY_WINDOW_PART(QAction, Open1)
TESSALY_WINDOW_PART(QAction, Save1)
TESSALY_WINDOW_PART(QAction, SaveAs1)
TESSALY_WINDOW_PART(QAction, SaveSelected1)
TESSALY_WINDOW_PART(QAction, CloseQuery1)
TESSALY_WINDOW_PART(QAction, SaveStatus1)
TESSALY_WINDOW_PART(QAction, ToolButton1)
TESSALY_WINDOW_PART(QAction, ToolButton2)
TESSALY_WINDOW_PART(QAction, ToolButton3)
TESSALY_WINDOW_PART(QAction, ToolButton4)
TESSALY_WINDOW_PART(QAction, Open2)
TESSALY_WINDOW_PART(QAction, NotePad2)
TESSALY_WINDOW_PART(QAction, OpenBy2)
TESSALY_WINDOW_PART(QAction, OpenByDirect2)
TESSALY_WINDOW_PART(QAction, CopyOpen2)
TESSALY_WINDOW_PART(QAction, SaveAs2)
TESSALY_WINDOW_PART(QAction, Delete2)
TESSALY_WINDOW_PART(QAction, Property2)
TESSALY_WINDOW_PART(QAction, CopyFileName2)
TESSALY_WINDOW_PART(QAction, CopyAll4)
TESSALY_WINDOW_PART(QAction, SaveCsv4)
TESSALY_WINDOW_PART(QAction, SaveJson4)

#undef TESSALY_WINDOW_PART

}  // namespace tessaly::test
