// Everything the logo run and the window say to the user or ask of them goes through this
// interface: the desktop implements it with dialogs and message boxes, the command line from
// its arguments and standard error, the tests with fakes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tav {

enum class FileDialogMode { Open, Save };
enum class MessageIcon { Information, Exclamation, Critical };

struct FileFilter {
    std::string description;
    std::string pattern;  // patterns separated by ';', e.g. "*.jpg;*.bmp"
};

// A modal message with one OK button. `detail` is shown under the text in a smaller type (a
// message box's informative text), or on the same line where there is no box; it may be empty.
struct UserMessage {
    UserMessage(std::string text_, std::string title_, MessageIcon icon_, std::string detail_ = {})
        : text(std::move(text_)), title(std::move(title_)), icon(icon_), detail(std::move(detail_))
    {
    }

    std::string text;
    std::string title;
    MessageIcon icon;
    std::string detail;
};

struct FileDialogRequest {
    FileDialogMode mode = FileDialogMode::Open;
    std::string title;
    std::string defaultFileName;
    std::vector<FileFilter> filters;  // the first one is selected
    std::string initialFolder;
    std::string defaultExtension;  // without the dot; appended to a name typed without one
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // The full path chosen, or the empty string when the user cancels. An open dialog accepts
    // only existing files; a save dialog asks before it returns an existing file.
    virtual std::string ShowFileDialog(const FileDialogRequest& request) = 0;
    // A file-system folder, or the empty string when the user cancels.
    virtual std::string BrowseForFolder(const std::string& title) = 0;
    virtual void showMessage(const UserMessage& message) = 0;
};

}  // namespace tav
