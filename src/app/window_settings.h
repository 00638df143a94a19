#pragma once
// What the window holds of its settings from start to close: read from the settings file while the
// window is created, kept up to date while it runs, written back when it may close.

#include <QRect>
#include <QString>

#include <string>

namespace tessaly {

struct WindowSettings {
    QString file;                // the settings file
    QString openDialogFolder;    // initial folder of the Open dialog and the folder pane
    std::string initialFolder;   // the same as bytes: the folder pane takes any name
    QString saveDialogFileName;  // the save dialog's remembered file name
    QString openDialog2FileName; // the program chooser's last chosen file
    // The placement values kept as read, and the window's last normal (neither maximised nor
    // minimised) rectangle.
    int placementFlags = 0, placementMaxX = -1, placementMaxY = -1;
    QRect normalRect;
    // The folder pane's width and the scroll position to restore once the pane exists; the
    // preview panes' width and height.
    int folderPaneWidth = 0, heldScrollX = 0;
    int previewWidth = 0, previewHeight = 0;
};

}  // namespace tessaly
