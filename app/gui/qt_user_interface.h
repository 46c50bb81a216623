// The window's dialogs and message boxes: the file dialog, the folder browser and the modal
// message, with Qt's own widgets.
//
// The dialogs are Qt's widget dialogs rather than the desktop's native ones, so that what the
// run relies on holds everywhere: the default extension is appended to a name typed without
// one before the dialog checks whether that file exists, an open dialog accepts only existing
// files, a save dialog asks before it returns an existing file, and the folder browser returns
// only folders of the file system.
#pragma once

#include "app/user_interface.h"

#include <QFileDialog>
#include <QString>

#include <memory>
#include <string_view>

class QWidget;

namespace tav {

class QtUserInterface : public UserInterface {
public:
    // Dialogs and messages are modal to `owner`, which is borrowed (null: to the application).
    explicit QtUserInterface(QWidget* owner) : m_owner(owner) { }

    std::string ShowFileDialog(const FileDialogRequest& request) override;
    std::string BrowseForFolder(const std::string& title) override;
    void showMessage(const UserMessage& message) override;

private:
    // Answers with the dialog's choice; first repaints the owner where the dialog was when
    // there is one, since a long run may follow.
    std::string finish(const QFileDialog& dialog, int result);

    QWidget* m_owner;
};

// A filter as Qt shows and applies it: the description, then the patterns in brackets
// separated by blanks. "*.*", which means every file on the system the filters were made for,
// becomes "*".
QString nameFilter(const FileFilter& filter);

// The dialogs as they are shown; made apart from showing them so that their settings can be
// checked.
std::unique_ptr<QFileDialog> makeFileDialog(const FileDialogRequest& request, QWidget* owner);
// Starts at the user's home folder, the top of the namespace a user browses here. It accepts
// exactly one existing folder: the name field can hold several quoted names, of which the
// dialog would otherwise return the first (a root folder, say) as if it were the choice.
std::unique_ptr<QFileDialog> makeFolderDialog(const QString& title, QWidget* owner);

// Said, and the folder browser kept open, when its name field names more than one entry.
inline constexpr std::string_view kOneFolderOnlyText = "Choose one folder: the name field holds more than one name.";

// Text of the platform (file names as the file system spells them) to and from QString.
QString fromLocalPath(const std::string& path);
std::string toLocalPath(const QString& path);

}  // namespace tav
